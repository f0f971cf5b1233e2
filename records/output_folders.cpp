#include "records/output_folders.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>

#include "host/dgn_model.h"
#include "host/file_name.h"
#include "records/base.h"
#include "records/record_text_writer.h"

namespace {

// The status of a folder refused before any creation: any non-zero value is a failure, the
// one thing the host documents of its statuses.
constexpr int kRefused = 1;

// A host status of success: 0, as the host documents every status.
bool succeeded(BeFileNameStatus status) { return static_cast<int>(status) == 0; }

// The part mask of a file's name and extension ("Site.dgn"), documented by its number.
constexpr int kNameAndExtension = 12;

// A stem that would put the main output folder at C:\Temp itself or above it.
bool namesTempOrAbove(const WString& stem) { return stem.empty() || stem == L"." || stem == L".."; }

// Creates the folder (and any missing parents), after removing what an earlier export left
// at path. The creation is tried first, so that a new folder costs one call and no look
// whether something is there; only a folder that exists is emptied, removed and made again.
// A failed removal is not reported: the creation that follows decides the outcome.
int replaceFolder(const WString& path) {
  const BeFileNameStatus status = BeFileName::CreateNewDirectory(path.c_str());
  if (succeeded(status) || !BeFileName::DoesPathExist(path.c_str()))
    return static_cast<int>(status);
  BeFileName::EmptyAndRemoveDirectory(path.c_str());
  return static_cast<int>(BeFileName::CreateNewDirectory(path.c_str()));
}

// A character that Windows refuses in a folder name, other than "<" and ">".
bool isRefusedInName(WChar c) {
  return c < 0x20 || c == L':' || c == L'"' || c == L'/' || c == L'\\' || c == L'|' || c == L'?' ||
         c == L'*';
}

WChar asciiUpper(WChar c) { return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c; }

// Whether base, in any case, is a name that Windows keeps for a device.
bool isDeviceName(std::wstring_view base) {
  static constexpr std::wstring_view kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL"};
  static constexpr std::wstring_view kNumbered[] = {L"COM", L"LPT"};
  const auto sameUpper = [](std::wstring_view text, std::wstring_view upper) {
    return text.size() == upper.size() &&
           std::equal(text.begin(), text.end(), upper.begin(),
                      [](WChar a, WChar b) { return asciiUpper(a) == b; });
  };
  for (std::wstring_view device : kDevices)
    if (sameUpper(base, device)) return true;
  if (base.size() != 4 || base[3] < L'1' || base[3] > L'9') return false;
  for (std::wstring_view device : kNumbered)
    if (sameUpper(base.substr(0, 3), device)) return true;
  return false;
}

// A "_" after the part of name before its first "." (less trailing blanks) when that part is
// a device's name.
void guardDeviceName(WString& name) {
  const std::wstring_view text(name.c_str(), name.size());
  size_t baseEnd = std::min(text.find(L'.'), text.size());
  while (baseEnd > 0 && text[baseEnd - 1] == L' ') --baseEnd;
  if (isDeviceName(text.substr(0, baseEnd))) name.insert(baseEnd, 1, L'_');
}

// Makes name a single folder name that the file system accepts. It is the start of a name
// that digits end, so its own trailing blanks stay.
void makeFolderName(WString& name) {
  name.ReplaceAll(L"<", L"(");
  name.ReplaceAll(L">", L")");
  for (WChar& c : name) {
    if (isRefusedInName(c)) c = L'_';
  }
  guardDeviceName(name);
}

// "<file name and extension> - <model name> - ", made safe. The id that follows it is plain
// digits, which makeFolderName leaves alone, so the prefix can be made safe on its own.
WString folderNamePrefix(const DgnModel& model) {
  WString name;
  if (const DgnFile* file = model.GetDgnFileP()) {
    name.append(BeFileName(kNameAndExtension, file->GetFileName().c_str()));
  }
  name.append(L" - ");
  name.append(model.GetModelName());
  name.append(L" - ");
  makeFolderName(name);
  return name;
}

// The id in plain decimal digits, as a default-formatted stream writes them.
std::string_view idDigits(ElementId id, char (&digits)[24]) {
  const char* end = std::to_chars(digits, digits + sizeof digits, id).ptr;
  return std::string_view(digits, static_cast<size_t>(end - digits));
}

void appendAscii(WString& text, std::string_view ascii) {
  for (const char c : ascii) text.push_back(static_cast<WChar>(c));
}

// The path that createElementFolder gives the element's folder.
WString elementFolderPath(WCharCP mainFolder, ElementHandleCR element) {
  WString path(mainFolder ? mainFolder : L"");
  path.append(L"\\");
  if (const DgnModel* model = element.GetDgnModelP()) {
    path.append(folderNamePrefix(*model));
    char digits[24];
    appendAscii(path, idDigits(element.GetElementId(), digits));
  }
  return path;
}

}  // namespace

void makeFolderNameSafe(WString& name) {
  guardDeviceName(name);
  for (size_t i = name.size(); i > 0 && (name[i - 1] == L'.' || name[i - 1] == L' '); --i)
    name[i - 1] = L'_';
}

int createMainFolder(WString& mainFolder) {
  int status = nameMainFolder(mainFolder);
  if (status == 0) status = replaceFolder(mainFolder);
  if (status != 0) mainFolder.clear();
  return status;
}

int nameMainFolder(WString& mainFolder) {
  mainFolder.clear();
  const DgnFile* activeFile = ISessionMgr::GetActiveDgnFile();
  if (!activeFile) return kRefused;
  BeFileName designFile;
  designFile.SetName(activeFile->GetFileName().c_str());
  WString stem = designFile.GetFileNameWithoutExtension();
  if (stem.EndsWithI(L".i")) stem.resize(stem.size() - 2);
  if (namesTempOrAbove(stem)) return kRefused;
  makeFolderNameSafe(stem);

  mainFolder = L"C:\\Temp\\";
  mainFolder.append(stem);
  return 0;
}

int createElementFolder(WString& elementFolder, WCharCP mainFolder, ElementHandleCR element) {
  elementFolder = elementFolderPath(mainFolder, element);
  if (!element.GetDgnModelP() || !mainFolder || !*mainFolder) return kRefused;
  return makeElementFolder(elementFolder);
}

int makeElementFolder(const WString& path) { return replaceFolder(path); }

// The host documents no status for a folder already there: a creation that fails where the
// path then exists was refused for that.
NewFolder makeNewElementFolder(const WString& path) {
  if (succeeded(BeFileName::CreateNewDirectory(path.c_str()))) return NewFolder::Made;
  return BeFileName::DoesPathExist(path.c_str()) ? NewFolder::Taken : NewFolder::Failed;
}

// UTF-8 texts are joined rather than converted whole: the text of a joined name is the join
// of the texts of its parts.
ModelFolderNamer::ModelFolderNamer(const WString& mainFolder, const DgnModel& model)
    : m_namePrefix(folderNamePrefix(model)) {
  m_pathPrefix = mainFolder;
  m_pathPrefix.append(L"\\");
  m_pathPrefix.append(m_namePrefix);
  m_codePrefix = utf8Text(m_namePrefix.c_str());
  // The quoted code is the quoted prefix, the id's digits (which need no escape) and a closing
  // quote. No zero byte can end the written string early: the prefix has none, as characters
  // below U+0020 became "_".
  m_quotedCodePrefix = RecordTextWriter::Quote(m_codePrefix);
  m_quotedCodePrefix.pop_back();
}

namespace {

// text becomes prefix, the digits (as characters of text's kind) and ending's characters, in
// text's room: sized once, as the id's length changes seldom from element to element, then
// written in place.
template <typename Text>
void setPrefixed(Text& text, const Text& prefix, std::string_view digits,
                 std::string_view ending = {}) {
  text.resize(prefix.size() + digits.size() + ending.size());
  auto* at = std::copy(prefix.data(), prefix.data() + prefix.size(), text.data());
  at = std::copy(digits.begin(), digits.end(), at);
  std::copy(ending.begin(), ending.end(), at);
}

}  // namespace

void ModelFolderNamer::Name(ElementId id, RecordFolder& folder) const {
  char digits[24];
  const std::string_view idText = idDigits(id, digits);
  setPrefixed(folder.path, m_pathPrefix, idText);
  setPrefixed<std::string>(folder.code, m_codePrefix, idText);
  setPrefixed(folder.quotedCode, m_quotedCodePrefix, idText, "\"");
}

void getElementCode(WCharCP elementFolderPath, AString& code) {
  const std::wstring path = elementFolderPath ? elementFolderPath : L"";
  const size_t separator = path.rfind(L'\\');
  const std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
  assignUtf8(code, name.c_str());
}
