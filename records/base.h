// The application's file operations: one record's text to one record file.
#pragma once

#include <string_view>

#include "host/host_types.h"
#include "host/wstring.h"

// Wide host text as locale text, kept whole however long: record texts and narrow file names
// are never cut, so no text loses its end and no long path opens a file named by its prefix.
AString localeText(WCharCP text);

// An element folder as the record writers use it: its path, that path as locale text (the
// narrow name under which its files are opened), the element code and the code as the
// records write it (RecordTextWriter::Quote), each made once for the element's three records. An
// export keeps one and refills it for every element, so that its buffers are reused.
struct RecordFolder {
  RecordFolder() = default;
  explicit RecordFolder(const WString& folderPath);
  WString path;
  AString localePath;
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
enum class RecordFileOutcome { Written, NotOpened, CutShort };
RecordFileOutcome putRecordText(const RecordFolder& folder, const char* fileName,
                                std::string_view text);
void reportUnwrittenRecord(const RecordFolder& folder, const char* fileName);
