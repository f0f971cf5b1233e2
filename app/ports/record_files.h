// The record files, written and read whole. The host's documented operations have no file
// calls (a record is a plain file of the system), so this is the add-in's own interface: the
// entry point connects the host integration's adapter, the one place where an integrator
// chooses the file calls. With none connected no record is written (each is reported) and
// none is read.
#pragma once

#include <string>
#include <string_view>

#include "host/host_types.h"

class RecordFiles {
 public:
  enum class Outcome {
    Written,    // the file holds all of the bytes
    NotOpened,  // the file could not be created and is left as it was
    CutShort,   // made, but not every byte reached it or it could not be closed cleanly
  };
  virtual ~RecordFiles() = default;
  // Creates the file at path (a Windows path whose folder exists), or empties it, and writes
  // all of bytes. Called from the export's writing thread too: it keeps no state of its own.
  virtual Outcome Write(WCharCP path, std::string_view bytes) = 0;
  // Removes the file at path; a failure is not reported.
  virtual void Remove(WCharCP path) = 0;
  // Reads the whole file at path into *bytes. False, with *bytes empty, when it can't be read.
  virtual bool Read(WCharCP path, std::string* bytes) = 0;
};

namespace record_files_detail {
inline RecordFiles*& connected() {
  static RecordFiles* files = nullptr;
  return files;
}
}  // namespace record_files_detail

// The record files that the entry point connected, once, when the host loaded the
// application; null when none was. They must live as long as the application is loaded.
inline RecordFiles* ConnectedRecordFiles() { return record_files_detail::connected(); }
inline void ConnectRecordFiles(RecordFiles* files) { record_files_detail::connected() = files; }
