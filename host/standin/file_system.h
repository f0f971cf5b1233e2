// The stand-in host's one door to the local disk. Every file operation of the host goes
// through CurrentFileSystem(), so that tests can install a FileSystemWrapper that makes
// chosen operations fail. Paths here are local (POSIX) paths.
#pragma once

#include "inside.h"  // first: stops any source outside the stand-in

#include <memory>
#include <string>
#include <vector>

namespace host {

// A file being written. Append returns false when not every byte was written; Close returns
// false when the data could not be flushed. The destructor closes a file left open.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual bool Append(const char* data, size_t size) = 0;
  virtual bool Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Creates one folder; fails when it exists or its parent doesn't.
  virtual bool CreateDirectory(const std::string& path) = 0;
  // Removes a folder with everything in it. A symbolic link inside is removed as a link:
  // nothing outside the folder is touched. Also removes a plain file or a link given as path.
  virtual bool RemoveTree(const std::string& path) = 0;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsDirectory(const std::string& path) = 0;
  // The names of the folder's immediate sub-folders, in no particular order.
  virtual bool ListSubdirectories(const std::string& path, std::vector<std::string>* names) = 0;
  // Creates or truncates a file; null when it can't be opened.
  virtual std::unique_ptr<WritableFile> OpenForWrite(const std::string& path) = 0;
  virtual bool ReadFile(const std::string& path, std::string* contents) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
};

// The real local disk.
FileSystem& LocalFileSystem();

// Forwards every operation to a target; tests derive from it and override what should fail.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : m_target(target) {}
  bool CreateDirectory(const std::string& path) override { return m_target.CreateDirectory(path); }
  bool RemoveTree(const std::string& path) override { return m_target.RemoveTree(path); }
  bool Exists(const std::string& path) override { return m_target.Exists(path); }
  bool IsDirectory(const std::string& path) override { return m_target.IsDirectory(path); }
  bool ListSubdirectories(const std::string& path, std::vector<std::string>* names) override {
    return m_target.ListSubdirectories(path, names);
  }
  std::unique_ptr<WritableFile> OpenForWrite(const std::string& path) override {
    return m_target.OpenForWrite(path);
  }
  bool ReadFile(const std::string& path, std::string* contents) override {
    return m_target.ReadFile(path, contents);
  }
  bool RemoveFile(const std::string& path) override { return m_target.RemoveFile(path); }

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
