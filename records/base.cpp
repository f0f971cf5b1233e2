#include "records/base.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "app/message/message.h"
#include "host/file_name.h"
#include "host/wstring.h"
#include "records/output_folders.h"
#include "records/record_text_writer.h"

namespace {

// Writes all of text to a new file in one write. CutShort: the file was created but not every
// byte reached it, or it could not be closed cleanly.
RecordFileOutcome writeWholeFile(const char* narrowName, std::string_view text) {
  if (text.size() > std::numeric_limits<uint32_t>::max()) return RecordFileOutcome::NotOpened;
  BeFile file;
  if (file.Create(narrowName) != BeFileStatus::Success) return RecordFileOutcome::NotOpened;
  const uint32_t size = static_cast<uint32_t>(text.size());
  uint32_t written = 0;
  const bool wrote =
      file.Write(&written, text.data(), size) == BeFileStatus::Success && written == size;
  const bool closed = file.Close() == BeFileStatus::Success;
  return wrote && closed ? RecordFileOutcome::Written : RecordFileOutcome::CutShort;
}

}  // namespace

AString localeText(WCharCP text) {
  AString narrow;
  BeStringUtilities::WCharToCurrentLocaleChar(narrow, text);
  return narrow;
}

namespace {

// A file cut short would be read back as a different document; none is better. A file that
// could not be opened was not touched and is left as it was.
void removeCutShort(WCharCP path) { BeFileName::BeDeleteFile(path); }

void reportUnwrittenFile(WCharCP path) { printMessage("Can't write file %S", path); }

}  // namespace

RecordFolder::RecordFolder(const WString& folderPath)
    : path(folderPath), localePath(localeText(folderPath.c_str())) {
  getElementCode(folderPath.c_str(), code);
  quotedCode = RecordTextWriter::Quote(code);
}

namespace {

// The folder's path, a backslash and the ASCII file name, as wide text.
WString recordPath(const RecordFolder& folder, const char* fileName) {
  WString path = folder.path;
  path.append(L"\\");
  for (const char* c = fileName; *c; ++c) path.push_back(static_cast<WChar>(*c));
  return path;
}

}  // namespace

// The narrow name is the folder's locale text, a backslash and the ASCII file name: the
// locale text of the whole path, as the encodings of locales keep no shift state. It is
// joined on the stack when it fits, as nearly every one does.
RecordFileOutcome putRecordText(const RecordFolder& folder, const char* fileName,
                                std::string_view text) {
  const std::string_view folderText(folder.localePath);
  const size_t nameSize = std::strlen(fileName);
  char onStack[512];
  std::string onHeap;
  char* narrowName = onStack;
  if (folderText.size() + nameSize + 2 > sizeof onStack) {
    onHeap.resize(folderText.size() + nameSize + 2);
    narrowName = onHeap.data();
  }
  std::memcpy(narrowName, folderText.data(), folderText.size());
  narrowName[folderText.size()] = '\\';
  std::memcpy(narrowName + folderText.size() + 1, fileName, nameSize + 1);  // its zero too
  const RecordFileOutcome outcome = writeWholeFile(narrowName, text);
  if (outcome == RecordFileOutcome::CutShort) removeCutShort(recordPath(folder, fileName).c_str());
  return outcome;
}

void reportUnwrittenRecord(const RecordFolder& folder, const char* fileName) {
  reportUnwrittenFile(recordPath(folder, fileName).c_str());
}
