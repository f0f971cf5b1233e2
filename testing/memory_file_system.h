// A real file system held in memory, for tests that need files but not the disk: folders,
// regular files and "other" entries (a device or a pipe, which reads refuse) under absolute
// local paths. It behaves as the local disk does for everything the host asks of it, with the
// same error codes, so a test can seed it, run host operations over it, and read back what
// they wrote. Its operations may come from several threads (each holds the file system while
// it runs); paths are taken as given (no "." or ".." resolution), with the root "/" present
// from the start.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "standin/files/file_system.h"

namespace host::testing {

class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  // Seeding: a folder with its missing parents; a file (its parents made too) with contents;
  // an entry that is neither a file nor a folder.
  void AddDirectory(const std::string& path);
  void AddFile(const std::string& path, std::string contents);
  void AddOther(const std::string& path);
  // The contents of a regular file, or nothing when there is none at path.
  std::optional<std::string> FileContents(const std::string& path) const;
  // Every path held, sorted, the root left out.
  std::vector<std::string> Paths() const;

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
  // A lock held by one lock object at a time, as another process's lock would be; the lock
  // objects may outlive the file system.
  FileStatus LockFile(const std::string& path, std::unique_ptr<FileLock>* lock) override;

 private:
  struct LockTable {
    std::mutex mutex;
    std::set<std::string> held;
  };
  class MemoryFileLock;
  struct Node {
    FileKind kind;
    std::shared_ptr<std::string> contents;  // shared with open writers; files only
  };
  void AddDirectoryLocked(const std::string& path);
  const Node* Find(const std::string& path) const;
  // Why nothing is at path: ENOTDIR when a component above it is not a folder, else ENOENT.
  int MissingCode(const std::string& path) const;
  // ENOENT when the parent folder of path is missing, ENOTDIR when it is not a folder.
  FileStatus CheckParent(std::string_view operation, const std::string& path) const;

  mutable std::mutex m_mutex;  // held by every public function
  std::map<std::string, Node> m_nodes;
  std::shared_ptr<LockTable> m_locks = std::make_shared<LockTable>();
};

}  // namespace host::testing
