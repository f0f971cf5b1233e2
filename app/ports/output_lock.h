// What the export asks of the host integration beyond the host's documented operations: an
// exclusive lock on a main output folder, so that two exports (two sessions, or two designs of
// one name) never remove and write each other's records. The entry point connects the host's
// adapter; with none connected, the export runs without a lock.
#pragma once

#include <memory>

#include "host/host_types.h"

// A lock taken by an OutputLocker, held for as long as the object lives.
class OutputLock {
 public:
  virtual ~OutputLock() = default;
};

class OutputLocker {
 public:
  enum class Outcome {
    Locked,       // *lock holds the lock
    Busy,         // another export holds it
    Unavailable,  // no lock can be had for this folder; the export goes on without one
  };
  virtual ~OutputLocker() = default;
  // Takes the exclusive lock of the output folder at folder (a Windows path, the folder itself
  // not yet made or removed) without waiting. *lock is left null unless the outcome is Locked.
  // The lock is released when *lock goes, and by the system when the process dies.
  virtual Outcome Lock(WCharCP folder, std::unique_ptr<OutputLock>* lock) = 0;
};

namespace output_lock_detail {
inline OutputLocker*& connected() {
  static OutputLocker* locker = nullptr;
  return locker;
}
}  // namespace output_lock_detail

// The locker that the entry point connected, once, when the host loaded the application;
// null when none was. The locker must live as long as the application is loaded.
inline OutputLocker* ConnectedOutputLocker() { return output_lock_detail::connected(); }
inline void ConnectOutputLocker(OutputLocker* locker) { output_lock_detail::connected() = locker; }
