#include "standin/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace host {
namespace {

class LocalWritableFile : public WritableFile {
 public:
  explicit LocalWritableFile(int fd) : m_fd(fd) {}
  ~LocalWritableFile() override { Close(); }

  bool Append(const char* data, size_t size) override {
    while (size > 0) {
      ssize_t n = ::write(m_fd, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  bool Close() override {
    if (m_fd < 0) return true;
    int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0;
  }

 private:
  int m_fd;
};

bool removeTreeAt(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) return ::unlink(path.c_str()) == 0;  // files and links alike
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return false;
  bool ok = true;
  while (dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    ok = removeTreeAt(path + "/" + entry->d_name) && ok;
  }
  ::closedir(dir);
  return ::rmdir(path.c_str()) == 0 && ok;
}

class LocalFileSystemImpl : public FileSystem {
 public:
  bool CreateDirectory(const std::string& path) override {
    return ::mkdir(path.c_str(), 0777) == 0;
  }
  bool RemoveTree(const std::string& path) override { return removeTreeAt(path); }
  bool Exists(const std::string& path) override {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
  }
  bool IsDirectory(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  bool ListSubdirectories(const std::string& path, std::vector<std::string>* names) override {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return false;
    while (dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      if (IsDirectory(path + "/" + entry->d_name)) names->push_back(entry->d_name);
    }
    ::closedir(dir);
    return true;
  }
  std::unique_ptr<WritableFile> OpenForWrite(const std::string& path) override {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<LocalWritableFile>(fd);
  }
  bool ReadFile(const std::string& path, std::string* contents) override {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents->append(buffer, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
  }
  bool RemoveFile(const std::string& path) override { return ::unlink(path.c_str()) == 0; }
};

FileSystem* g_current = nullptr;

}  // namespace

FileSystem& LocalFileSystem() {
  static LocalFileSystemImpl local;
  return local;
}

FileSystem& CurrentFileSystem() { return g_current ? *g_current : LocalFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& fileSystem) : m_previous(g_current) {
  g_current = &fileSystem;
}

ScopedFileSystem::~ScopedFileSystem() { g_current = m_previous; }

}  // namespace host
