#include "app/adapters/standin_output_lock.h"

#include <cerrno>
#include <string>

#include "standin/files/file_system.h"
#include "standin/files/paths.h"

namespace {

class HeldLock final : public OutputLock {
 public:
  explicit HeldLock(std::unique_ptr<host::FileLock> lock) : m_lock(std::move(lock)) {}

 private:
  std::unique_ptr<host::FileLock> m_lock;
};

class StandInLocker final : public OutputLocker {
 public:
  // The lock file is made before the main folder, so a missing C:\Temp is made for it. The
  // file is never removed: removing it while a second export waits to open it would let two
  // exports lock two different files of one name.
  Outcome Lock(WCharCP folder, std::unique_ptr<OutputLock>* lock) override {
    lock->reset();
    std::string local;
    if (!folder || !host::ToLocalPath(folder, &local)) return Outcome::Unavailable;
    const std::string path = local + ".lock";
    host::FileSystem& files = host::CurrentFileSystem();
    std::unique_ptr<host::FileLock> held;
    host::FileStatus status = files.LockFile(path, &held);
    if (status.code() == ENOENT && host::CreateDirectories(files, host::LocalFolderOf(path)).ok())
      status = files.LockFile(path, &held);
    if (status.ok()) {
      *lock = std::make_unique<HeldLock>(std::move(held));
      return Outcome::Locked;
    }
    return status.code() == EWOULDBLOCK ? Outcome::Busy : Outcome::Unavailable;
  }
};

}  // namespace

OutputLocker& StandInOutputLocker() {
  static StandInLocker locker;
  return locker;
}
