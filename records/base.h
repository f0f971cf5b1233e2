// The application's file operations: one record's text to one record file.
#pragma once

#include <string_view>

#include "app/ports/record_files.h"
#include "host/host_types.h"
#include "host/wstring.h"

// Wide host text as UTF-8, the encoding of every record text on every platform and in every
// locale, as a JSON file must be UTF-8. A character that is no Unicode character (a lone
// surrogate, a value beyond U+10FFFF) becomes "?", as a UTF-8 locale writes it; the surrogate
// pairs of a 16-bit wchar_t are joined into their character. Kept whole however long, so no
// text loses its end. assignUtf8 writes over out, its room used again.
void assignUtf8(AString& out, WCharCP text);
AString utf8Text(WCharCP text);

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

// Writes text, already in the record text form, as the file fileName (ASCII, e.g. "geo.json")
// inside the folder, creating the file or replacing everything it held; the folder must exist.
// Written: the file holds text. NotOpened: the file could not be created and is left as it was.
// CutShort: not every byte reached the file, or it could not be closed cleanly; what was written
// of it is removed, so a record file is either whole or absent. Nothing is reported, so that the
// export may write on one thread and report on another: reportUnwrittenRecord then gives the
// message "Can't write file %S" for a file that putRecordText did not write.
using RecordFileOutcome = RecordFiles::Outcome;
RecordFileOutcome putRecordText(const RecordFolder& folder, const char* fileName,
                                std::string_view text);
void reportUnwrittenRecord(const RecordFolder& folder, const char* fileName);
