// The local disk of a POSIX system: LocalFileSystem() on every platform but Windows.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

#include "standin/files/file_system.h"

namespace host {
namespace {

FileStatus fromErrno(std::string_view operation, const std::string& path) {
  return FileStatus::Error(errno, operation, path);
}

// Closes a descriptor when it goes out of scope.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : m_fd(fd) {}
  ~ScopedFd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

// The blocks of the files being written: each starts with its size, and the object follows.
// A thread keeps the last block given back for its next file, so that the files of an export,
// opened one after the other, cost no allocation after the first.
class FileBlocks {
 public:
  static constexpr size_t kHeader = alignof(std::max_align_t);

  // A block of at least size bytes after its header.
  static char* Take(size_t size) {
    char*& spare = Spare().block;
    if (spare && sizeOf(spare) >= size) return std::exchange(spare, nullptr) + kHeader;
    const size_t room = std::max<size_t>(size, 240);
    char* block = static_cast<char*>(::operator new(kHeader + room));
    std::memcpy(block, &room, sizeof room);
    return block + kHeader;
  }
  // Gives back what Take gave.
  static void Give(char* at) {
    char*& spare = Spare().block;
    if (spare) ::operator delete(spare);
    spare = at - kHeader;
  }

 private:
  struct Kept {
    char* block = nullptr;
    ~Kept() { ::operator delete(block); }
  };
  [[gnu::noinline]] static Kept& Spare() {
    thread_local Kept kept;
    return kept;
  }
  static size_t sizeOf(const char* block) {
    size_t size;
    std::memcpy(&size, block, sizeof size);
    return size;
  }
};

// A file being written, with its path kept for the messages of failures. The path's text
// lives in the same block, just after the object (see FileBlocks); Make is the only way to
// create one.
class LocalWritableFile final : public WritableFile {
 public:
  static std::unique_ptr<WritableFile> Make(int fd, const std::string& path) {
    char* block = FileBlocks::Take(sizeof(LocalWritableFile) + path.size());
    std::memcpy(block + sizeof(LocalWritableFile), path.data(), path.size());
    return std::unique_ptr<WritableFile>(new (block) LocalWritableFile(fd, path.size()));
  }
  // The block that Make took, with the path in it.
  static void operator delete(void* block) { FileBlocks::Give(static_cast<char*>(block)); }

  ~LocalWritableFile() override { Close(); }
  LocalWritableFile(const LocalWritableFile&) = delete;
  LocalWritableFile& operator=(const LocalWritableFile&) = delete;

  FileStatus Append(std::string_view data) override {
    while (!data.empty()) {
      ssize_t n = ::write(m_fd, data.data(), data.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return fromErrno("write", path());
      if (n == 0) return FileStatus::Error(ENOSPC, "write", path());
      data.remove_prefix(static_cast<size_t>(n));
    }
    return FileStatus::Ok();
  }

  FileStatus Sync() override {
    return ::fsync(m_fd) == 0 ? FileStatus::Ok() : fromErrno("fsync", path());
  }

  FileStatus Close() override {
    if (m_fd < 0) return FileStatus::Ok();
    int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0 ? FileStatus::Ok() : fromErrno("close", path());
  }

 private:
  LocalWritableFile(int fd, size_t pathSize) : m_fd(fd), m_pathSize(pathSize) {}

  // Made only for a message; errno is kept across the copy.
  std::string path() const {
    const int saved = errno;
    std::string text(reinterpret_cast<const char*>(this + 1), m_pathSize);
    errno = saved;
    return text;
  }

  int m_fd;
  size_t m_pathSize;
};

FileStatus removeTreeAt(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return fromErrno("remove", path);
  if (!S_ISDIR(st.st_mode)) {  // files and links alike
    return ::unlink(path.c_str()) == 0 ? FileStatus::Ok() : fromErrno("remove", path);
  }
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return fromErrno("open folder", path);
  FileStatus first;  // the first failure inside, if any; removal goes on past it
  while (dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    FileStatus status = removeTreeAt(path + "/" + entry->d_name);
    if (first.ok()) first = status;
  }
  ::closedir(dir);
  if (::rmdir(path.c_str()) != 0 && first.ok()) first = fromErrno("remove folder", path);
  return first;
}

FileKind kindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISDIR(mode)) return FileKind::Directory;
  return FileKind::Other;
}

// Reads an open regular file of known size whole; the size bounds the read, so a file that
// grows meanwhile can't make it run on.
FileStatus readOpenFile(int fd, uint64_t size, const std::string& path, std::string* contents) {
  contents->resize(size);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::read(fd, contents->data() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fromErrno("read", path);
    if (n == 0) break;  // the file shrank meanwhile: what is there is the file
    done += static_cast<size_t>(n);
  }
  contents->resize(done);
  return FileStatus::Ok();
}

// A lock held through its open descriptor: flock locks belong to the open file, so closing
// the descriptor (or the end of the process) releases it, and a second open of the same file,
// in this process or another, can't take it meanwhile. The descriptor is closed on exec, so
// that a program the host starts never holds the lock on.
class LocalFileLock final : public FileLock {
 public:
  explicit LocalFileLock(int fd) : m_fd(fd) {}
  ~LocalFileLock() override { ::close(m_fd); }
  LocalFileLock(const LocalFileLock&) = delete;
  LocalFileLock& operator=(const LocalFileLock&) = delete;

 private:
  int m_fd;
};

class LocalFileSystemImpl : public FileSystem {
 public:
  FileStatus CreateDirectory(const std::string& path) override {
    return ::mkdir(path.c_str(), 0777) == 0 ? FileStatus::Ok() : fromErrno("create folder", path);
  }
  FileStatus RemoveTree(const std::string& path) override { return removeTreeAt(path); }
  FileStatus Stat(const std::string& path, FileInfo* info) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return fromErrno("stat", path);
    const FileKind kind = kindOf(st.st_mode);
    *info = FileInfo{kind, kind == FileKind::Regular ? static_cast<uint64_t>(st.st_size) : 0};
    return FileStatus::Ok();
  }
  FileStatus Exists(const std::string& path) override {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? FileStatus::Ok() : fromErrno("stat", path);
  }
  FileStatus ListSubdirectories(const std::string& path, std::vector<std::string>* names) override {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return fromErrno("open folder", path);
    while (dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      FileInfo info;
      if (Stat(path + "/" + entry->d_name, &info).ok() && info.kind == FileKind::Directory)
        names->push_back(entry->d_name);
    }
    ::closedir(dir);
    return FileStatus::Ok();
  }
  FileStatus NewWritableFile(const std::string& path,
                             std::unique_ptr<WritableFile>* file) override {
    file->reset();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fromErrno("create", path);
    *file = LocalWritableFile::Make(fd, path);
    return FileStatus::Ok();
  }
  // Opened without blocking, so that a pipe with no writer can't hang the host; the kind is
  // judged on the open descriptor, so nothing can swap the file between check and read.
  FileStatus ReadFile(const std::string& path, std::string* contents, uint64_t maxBytes) override {
    contents->clear();
    ScopedFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) return fromErrno("open", path);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return fromErrno("stat", path);
    if (!S_ISREG(st.st_mode)) {
      return FileStatus::Error(EINVAL, "open", path,
                               S_ISDIR(st.st_mode) ? "is a folder, not a file"
                                                   : "is a device or pipe, not a regular file");
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size > maxBytes) {
      return FileStatus::Error(EFBIG, "open", path,
                               "is larger than " + std::to_string(maxBytes) + " bytes");
    }
    return readOpenFile(fd.get(), size, path, contents);
  }
  FileStatus RemoveFile(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 ? FileStatus::Ok() : fromErrno("remove", path);
  }
  FileStatus RenameFile(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0 ? FileStatus::Ok() : fromErrno("rename", from);
  }
  FileStatus SyncDirectory(const std::string& path) override {
    ScopedFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) return fromErrno("open folder", path);
    return ::fsync(fd.get()) == 0 ? FileStatus::Ok() : fromErrno("fsync", path);
  }
  FileStatus LockFile(const std::string& path, std::unique_ptr<FileLock>* lock) override {
    lock->reset();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return fromErrno("lock", path);
    int locked;
    do locked = ::flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      FileStatus status = fromErrno("lock", path);
      ::close(fd);
      return status;
    }
    *lock = std::make_unique<LocalFileLock>(fd);
    return FileStatus::Ok();
  }
  FileStatus ReadLink(const std::string& path, std::string* target) override {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return fromErrno("read link", path);
    if (!S_ISLNK(st.st_mode)) return FileStatus::Error(EINVAL, "read link", path);
    // The size lstat gives may be 0 (some file systems) or stale: grow until the target fits.
    std::string text(std::max<size_t>(static_cast<size_t>(st.st_size), 64) + 1, '\0');
    while (true) {
      ssize_t n = ::readlink(path.c_str(), text.data(), text.size());
      if (n < 0) return fromErrno("read link", path);
      if (static_cast<size_t>(n) < text.size()) {
        text.resize(static_cast<size_t>(n));
        break;
      }
      text.resize(text.size() * 2);
    }
    *target = std::move(text);
    return FileStatus::Ok();
  }
};

}  // namespace

FileSystem& LocalFileSystem() {
  static LocalFileSystemImpl local;
  return local;
}

}  // namespace host
