#include "records/base.h"

#include <cstring>
#include <string>

#include "app/message/message.h"
#include "host/wstring.h"
#include "records/output_folders.h"
#include "records/record_text_writer.h"

namespace {

// Through the connected record files, which open a file by its wide name, so that a name the
// locale can't spell still names it. With none connected nothing is written.
RecordFileOutcome writeWholeFile(WCharCP path, std::string_view text) {
  RecordFiles* files = ConnectedRecordFiles();
  return files ? files->Write(path, text) : RecordFileOutcome::NotOpened;
}

}  // namespace

void assignUtf8(AString& out, WCharCP text) {
  out.clear();
  if (!text) return;
  for (WCharCP p = text; *p; ++p) {
    char32_t c = static_cast<char32_t>(*p);
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(*++p) - 0xDC00);
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back('?');
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

AString utf8Text(WCharCP text) {
  AString out;
  assignUtf8(out, text);
  return out;
}

namespace {

// A file cut short would be read back as a different document; none is better. A file that
// could not be opened was not touched and is left as it was.
void removeCutShort(WCharCP path) {
  if (RecordFiles* files = ConnectedRecordFiles()) files->Remove(path);
}

void reportUnwrittenFile(WCharCP path) { printMessage("Can't write file %S", path); }

}  // namespace

RecordFolder::RecordFolder(const WString& folderPath) : path(folderPath) {
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

RecordFileOutcome putRecordText(const RecordFolder& folder, const char* fileName,
                                std::string_view text) {
  const WString path = recordPath(folder, fileName);
  const RecordFileOutcome outcome = writeWholeFile(path.c_str(), text);
  if (outcome == RecordFileOutcome::CutShort) removeCutShort(path.c_str());
  return outcome;
}

void reportUnwrittenRecord(const RecordFolder& folder, const char* fileName) {
  reportUnwrittenFile(recordPath(folder, fileName).c_str());
}
