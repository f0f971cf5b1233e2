// The stand-in host's one door to the local disk, shaped like a storage engine's environment:
// every file operation of the host goes through CurrentFileSystem() and answers with a
// FileStatus that carries the reason, so that a failure can be reported with its cause and
// tests can install a file system of their own (an in-memory one, or one that injects faults)
// with ScopedFileSystem. Paths here are local (POSIX) paths.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// The outcome of a file operation: success, or an error code (an errno value) with a message
// that names the operation and the path.
class FileStatus {
 public:
  FileStatus() = default;  // success
  static FileStatus Ok() { return FileStatus(); }
  // The message reads "<operation> <path>: <strerror(code)>".
  static FileStatus Error(int code, std::string_view operation, const std::string& path);
  // An error whose reason is not an errno text, e.g. "is a device, not a regular file".
  static FileStatus Error(int code, std::string_view operation, const std::string& path,
                          std::string_view reason);

  bool ok() const { return m_code == 0; }
  int code() const { return m_code; }
  // Empty on success.
  const std::string& message() const { return m_message; }
  // The reason alone, without the operation and path (e.g. "No such file or directory").
  const std::string& reason() const { return m_reason; }

 private:
  int m_code = 0;
  std::string m_message;
  std::string m_reason;
};

enum class FileKind { Regular, Directory, Other };

struct FileInfo {
  FileKind kind = FileKind::Other;
  uint64_t size = 0;  // of a regular file; 0 for anything else
};

// The largest file the host reads whole: designs, key-in tables and records alike. A larger
// file is refused with EFBIG before anything is read, so that a hostile attachment can't
// grow the process without bound.
inline constexpr uint64_t kMaxReadBytes = uint64_t{1} << 31;  // 2 GiB

// A file being written. Append writes every byte or fails; Sync makes the written data
// durable; Close flushes and releases the file. The destructor closes a file left open and
// ignores the outcome, so callers that care call Close.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual FileStatus Append(std::string_view data) = 0;
  virtual FileStatus Sync() = 0;
  virtual FileStatus Close() = 0;
};

// An advisory, exclusive lock, held for as long as the object lives; the system releases it
// when the process dies.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Creates one folder; fails when it exists (EEXIST) or its parent doesn't (ENOENT).
  virtual FileStatus CreateDirectory(const std::string& path) = 0;
  // Removes a folder with everything in it. A symbolic link inside is removed as a link:
  // nothing outside the folder is touched. Also removes a plain file or a link given as path.
  virtual FileStatus RemoveTree(const std::string& path) = 0;
  // What is at path, following a final symbolic link; ENOENT when nothing is.
  virtual FileStatus Stat(const std::string& path, FileInfo* info) = 0;
  // Whether anything, a dangling link included, is at path; ENOENT when nothing is.
  virtual FileStatus Exists(const std::string& path) = 0;
  // The names of the folder's immediate sub-folders, in no particular order, appended to names.
  virtual FileStatus ListSubdirectories(const std::string& path,
                                        std::vector<std::string>* names) = 0;
  // Creates or truncates a file for writing. On failure *file is left null.
  virtual FileStatus NewWritableFile(const std::string& path,
                                     std::unique_ptr<WritableFile>* file) = 0;
  // Reads a regular file whole into *contents (replacing it). Anything else (a folder, a
  // device, a pipe) is refused at once, without reading; so is a file larger than maxBytes.
  virtual FileStatus ReadFile(const std::string& path, std::string* contents,
                              uint64_t maxBytes = kMaxReadBytes) = 0;
  virtual FileStatus RemoveFile(const std::string& path) = 0;
  // Renames a file, replacing any file at `to` in one step.
  virtual FileStatus RenameFile(const std::string& from, const std::string& to) = 0;
  // Makes the entries of a folder (new, renamed or removed names) durable.
  virtual FileStatus SyncDirectory(const std::string& path) = 0;
  // The target of the symbolic link at path as the link holds it: a relative target is taken
  // from the link's own folder. EINVAL when what is at path is not a link, ENOENT when nothing
  // is there. This default is a file system without links.
  virtual FileStatus ReadLink(const std::string& path, std::string* target);
  // Creates the file at path when missing and takes an exclusive lock on it without waiting.
  // EWOULDBLOCK when another process holds it. On failure *lock is left null.
  virtual FileStatus LockFile(const std::string& path, std::unique_ptr<FileLock>* lock) = 0;
};

// Links followed at most by ResolveLinks; a longer chain is taken as a loop.
inline constexpr int kMaxLinkHops = 40;

// The file that path names once the symbolic links at its end are followed, one after the
// other: path itself when it is no link or when nothing is there. Fails, with *resolved left
// alone and a message naming path, on a link that leads to nothing (ENOENT), a loop of links
// (ELOOP) or a link that can't be read. Links among the folders above are left to the system.
FileStatus ResolveLinks(FileSystem& files, const std::string& path, std::string* resolved);

// Creates a folder and whichever of its parents are missing; success when it exists already.
FileStatus CreateDirectories(FileSystem& files, const std::string& path);

// The real local disk.
FileSystem& LocalFileSystem();

// Forwards every operation to a target; the in-memory and fault-injecting file systems of the
// tests derive from it.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : m_target(target) {}
  FileStatus CreateDirectory(const std::string& path) override {
    return m_target.CreateDirectory(path);
  }
  FileStatus RemoveTree(const std::string& path) override { return m_target.RemoveTree(path); }
  FileStatus Stat(const std::string& path, FileInfo* info) override {
    return m_target.Stat(path, info);
  }
  FileStatus Exists(const std::string& path) override { return m_target.Exists(path); }
  FileStatus ListSubdirectories(const std::string& path, std::vector<std::string>* names) override {
    return m_target.ListSubdirectories(path, names);
  }
  FileStatus NewWritableFile(const std::string& path,
                             std::unique_ptr<WritableFile>* file) override {
    return m_target.NewWritableFile(path, file);
  }
  FileStatus ReadFile(const std::string& path, std::string* contents, uint64_t maxBytes) override {
    return m_target.ReadFile(path, contents, maxBytes);
  }
  FileStatus RemoveFile(const std::string& path) override { return m_target.RemoveFile(path); }
  FileStatus RenameFile(const std::string& from, const std::string& to) override {
    return m_target.RenameFile(from, to);
  }
  FileStatus SyncDirectory(const std::string& path) override {
    return m_target.SyncDirectory(path);
  }
  FileStatus ReadLink(const std::string& path, std::string* target) override {
    return m_target.ReadLink(path, target);
  }
  FileStatus LockFile(const std::string& path, std::unique_ptr<FileLock>* lock) override {
    return m_target.LockFile(path, lock);
  }

 protected:
  FileSystem& target() { return m_target; }

 private:
  FileSystem& m_target;
};

// The file system that the host's operations use now: LocalFileSystem() unless a
// ScopedFileSystem is alive.
FileSystem& CurrentFileSystem();

// Installs a file system for its lifetime, then puts back the one before it.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& fileSystem);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* m_previous;
};

}  // namespace host
