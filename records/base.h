// The application's file operations: one JSON document to one record file, and back.
#pragma once

#include <json/json.h>

#include <string_view>

#include "host/file_name.h"
#include "host/host_types.h"
#include "host/wstring.h"

// Writes the document to the file at path (a wide, zero-terminated full file name) in the
// record text form, creating the file or replacing everything it held. The folder must exist.
// Nothing is returned: a file that can't be created or fully written is reported with
// "Can't write file %S" in the message output, and what was written of it is removed, so a
// record file is either whole or absent.
void writeJsonFile(WCharCP path, const Json::Value& document);

// Writes text, already in the record text form, as writeJsonFile writes a document's text.
void writeTextFile(WCharCP path, std::string_view text);

// Reads the whole file at path and parses all of its text into document (the caller's, null on
// entry), with the reader's default features (comments allowed and skipped, any value as the
// root) and comments not collected. Nothing is returned or reported: a file that can't be read
// leaves the document null, and a syntax error leaves what was parsed before it. The caller
// judges the outcome by the document alone.
void readJsonFile(Json::Value& document, const BeFileName& path);

// Wide host text as UTF-8, the encoding of every record text on every platform and in every
// locale, as a JSON file must be UTF-8. A character that is no Unicode character (a lone
// surrogate, a value beyond U+10FFFF) becomes "?", as a UTF-8 locale writes it; the surrogate
// pairs of a 16-bit wchar_t are joined into their character. Kept whole however long, so no
// text loses its end. assignUtf8 writes over out, its room used again.
void assignUtf8(AString& out, WCharCP text);
AString utf8Text(WCharCP text);

// Writes the document as the file fileName (e.g. L"geo.json") inside the element folder, as
// writeJsonFile does.
void writeRecordFile(const WString& elementFolder, WCharCP fileName, const Json::Value& document);
// The same for text already in the record text form.
void writeRecordText(const WString& elementFolder, WCharCP fileName, std::string_view text);

// An element folder as the record writers use it: its path (under which its files are
// opened, by their wide names), the element code and the code as the records write it
// (RecordTextWriter::Quote), each made once for the element's three records. An
// export keeps one and refills it for every element, so that its buffers are reused.
struct RecordFolder {
  RecordFolder() = default;
  explicit RecordFolder(const WString& folderPath);
  WString path;
  AString code;
  std::string quotedCode;
};

// Writes text as the file fileName (ASCII, e.g. "geo.json") inside the folder, as
// writeJsonFile does.
void writeRecordText(const RecordFolder& folder, const char* fileName, std::string_view text);

// writeRecordText in two steps, for a caller that writes on one thread and reports on
// another: putRecordText writes the file and reports nothing (a file cut short is removed
// already); reportUnwrittenRecord then gives the message for a file that putRecordText did not
// write.
enum class RecordFileOutcome { Written, NotOpened, CutShort };
RecordFileOutcome putRecordText(const RecordFolder& folder, const char* fileName,
                                std::string_view text);
void reportUnwrittenRecord(const RecordFolder& folder, const char* fileName);
