#include "records/output_folders.h"

#include <charconv>
#include <string>

#include "host/dgn_model.h"
#include "host/file_name.h"

namespace {

constexpr int kRefused = static_cast<int>(BeFileNameStatus::IllegalName);

// A stem that would put the main output folder at C:\Temp itself or above it.
bool namesTempOrAbove(const WString& stem) { return stem.empty() || stem == L"." || stem == L".."; }

// Creates the folder (and any missing parents), after removing what an earlier export left
// at path. The creation is tried first, so that a new folder costs one call and no look
// whether something is there; only a folder that exists is emptied, removed and made again.
// A failed removal is not reported: the creation that follows decides the outcome.
int replaceFolder(const WString& path) {
  const BeFileNameStatus status = BeFileName::CreateNewDirectory(path.c_str());
  if (status != BeFileNameStatus::AlreadyExists) return static_cast<int>(status);
  BeFileName::EmptyAndRemoveDirectory(path.c_str());
  return static_cast<int>(BeFileName::CreateNewDirectory(path.c_str()));
}

// A character that Windows refuses in a folder name, other than "<" and ">".
bool isRefusedInName(WChar c) {
  return c < 0x20 || c == L':' || c == L'"' || c == L'/' || c == L'\\' || c == L'|' || c == L'?' ||
         c == L'*';
}

// Makes name a single folder name that the file system accepts.
void makeFolderName(WString& name) {
  name.ReplaceAll(L"<", L"(");
  name.ReplaceAll(L">", L")");
  for (WChar& c : name) {
    if (isRefusedInName(c)) c = L'_';
  }
}

// "<file name and extension> - <model name> - <element id>", before any replacement.
WString rawElementFolderName(const DgnModel& model, ElementId id) {
  WString name;
  if (const DgnFile* file = model.GetDgnFileP()) {
    name.append(BeFileName(BeFileName::NameAndExt, file->GetFileName().c_str()));
  }
  name.append(L" - ");
  name.append(model.GetModelName());
  name.append(L" - ");
  // Plain decimal digits, as a default-formatted stream writes them.
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, id).ptr;
  for (const char* digit = digits; digit != end; ++digit)
    name.push_back(static_cast<WChar>(*digit));
  return name;
}

}  // namespace

int createMainFolder(WString& mainFolder) {
  mainFolder.clear();
  const DgnFile* activeFile = ISessionMgr::GetActiveDgnFile();
  if (!activeFile) return kRefused;
  BeFileName designFile;
  designFile.SetName(activeFile->GetFileName().c_str());
  WString stem = designFile.GetFileNameWithoutExtension();
  if (stem.EndsWithI(L".i")) stem.resize(stem.size() - 2);
  if (namesTempOrAbove(stem)) return kRefused;

  WString path(L"C:\\Temp\\");
  path.append(stem);
  const int status = replaceFolder(path);
  if (status == 0) mainFolder = path;
  return status;
}

WString elementFolderPath(WCharCP mainFolder, ElementHandleCR element) {
  WString path(mainFolder ? mainFolder : L"");
  path.append(L"\\");
  if (const DgnModel* model = element.GetDgnModelP()) {
    WString name = rawElementFolderName(*model, element.GetElementId());
    makeFolderName(name);
    path.append(name);
  }
  return path;
}

int createElementFolder(WString& elementFolder, WCharCP mainFolder, ElementHandleCR element) {
  elementFolder = elementFolderPath(mainFolder, element);
  if (!element.GetDgnModelP() || !mainFolder || !*mainFolder) return kRefused;
  return replaceFolder(elementFolder);
}

void getElementCode(WCharCP elementFolderPath, AString& code) {
  const std::wstring path = elementFolderPath ? elementFolderPath : L"";
  const size_t separator = path.rfind(L'\\');
  const std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
  BeStringUtilities::WCharToCurrentLocaleChar(code, name.c_str());
}
