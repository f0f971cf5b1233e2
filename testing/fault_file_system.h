// A file system that forwards to another and makes chosen operations fail: the one way every
// fault test of the project says "the disk refuses this". Counting every operation lets a
// test fail each operation of a piece of work in turn (a fault sweep). Operations may come
// from several threads at once (the export writes its records on a thread of its own); the
// counts and failures then follow the order in which they reach the file system.
#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "standin/files/file_system.h"

namespace host::testing {

// Every operation of the file seam, the writable file's own included.
enum class FileOp {
  CreateDirectory,
  RemoveTree,
  Stat,
  Exists,
  ListSubdirectories,
  NewWritableFile,
  Append,
  Sync,
  Close,
  ReadFile,
  RemoveFile,
  RenameFile,
  SyncDirectory,
  ReadLink,
  LockFile,
};
const char* FileOpName(FileOp op);

class FaultInjectingFileSystem : public FileSystemWrapper {
 public:
  explicit FaultInjectingFileSystem(FileSystem& target = LocalFileSystem());
  ~FaultInjectingFileSystem() override;

  // The nth operation from now (1 is the next one), of any kind, fails with code.
  void FailNth(uint64_t n, int code = EIO);
  // Operations of that kind whose path holds pathPart (every path when empty) fail with code,
  // `times` times (every time when negative).
  void FailOp(FileOp op, std::string pathPart = "", int times = -1, int code = EIO);
  // Appends put only the first half of their data into the file, then fail with EIO.
  void ShortWrites();
  // The disk holds `bytes` more bytes of file data: an append that doesn't fit writes what
  // does and fails with ENOSPC.
  void DiskFullAfter(uint64_t bytes);
  // Drops every rule; the counts go on.
  void Heal();

  // Operations seen so far, and how many were made to fail; read while no operation runs.
  uint64_t OperationCount() const { return m_operations; }
  uint64_t FaultsInjected() const { return m_faults; }
  // "Append /tmp/x/geo.json" for each failed operation, in order.
  const std::vector<std::string>& FailedOperations() const { return m_failed; }

  FileStatus CreateDirectory(const std::string& path) override;
  FileStatus RemoveTree(const std::string& path) override;
  FileStatus Stat(const std::string& path, FileInfo* info) override;
  FileStatus Exists(const std::string& path) override;
  FileStatus ListSubdirectories(const std::string& path, std::vector<std::string>* names) override;
  FileStatus NewWritableFile(const std::string& path, std::unique_ptr<WritableFile>* file) override;
  FileStatus ReadFile(const std::string& path, std::string* contents, uint64_t maxBytes) override;
  FileStatus RemoveFile(const std::string& path) override;
  FileStatus RenameFile(const std::string& from, const std::string& to) override;
  FileStatus SyncDirectory(const std::string& path) override;
  FileStatus ReadLink(const std::string& path, std::string* linkTarget) override;
  FileStatus LockFile(const std::string& path, std::unique_ptr<FileLock>* lock) override;

 private:
  class File;
  struct Rule {
    FileOp op;
    std::string pathPart;
    int times;
    int code;
  };

  // Counts one operation; a failing status when a rule says it fails, else success.
  FileStatus Check(FileOp op, const std::string& path);
  // How many of `size` bytes an append to path may write; sets *status when not all.
  size_t AppendAllowance(const std::string& path, size_t size, FileStatus* status);

  std::mutex m_mutex;  // guards the rules and counts below
  uint64_t m_operations = 0;
  uint64_t m_faults = 0;
  uint64_t m_failAt = 0;  // the operation count that fails, 0 for none
  int m_failAtCode = EIO;
  std::vector<Rule> m_rules;
  bool m_shortWrites = false;
  bool m_diskLimited = false;
  uint64_t m_diskLeft = 0;
  std::vector<std::string> m_failed;
};

}  // namespace host::testing
