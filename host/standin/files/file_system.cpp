#include "standin/files/file_system.h"

#include <cerrno>
#include <cstring>

namespace host {

FileStatus FileStatus::Error(int code, std::string_view operation, const std::string& path) {
  return Error(code, operation, path, std::strerror(code));
}

FileStatus FileStatus::Error(int code, std::string_view operation, const std::string& path,
                             std::string_view reason) {
  FileStatus status;
  status.m_code = code != 0 ? code : EIO;  // an error never reads as success
  status.m_reason = std::string(reason);
  status.m_message = std::string(operation) + " " + path + ": " + status.m_reason;
  return status;
}

namespace {

FileSystem* g_current = nullptr;

}  // namespace

FileStatus CreateDirectories(FileSystem& files, const std::string& path) {
  FileStatus status = files.CreateDirectory(path);
  if (status.ok()) return status;
  if (status.code() == EEXIST) {
    FileInfo info;
    FileStatus stat = files.Stat(path, &info);
    if (stat.ok() && info.kind == FileKind::Directory) return FileStatus::Ok();
    return stat.ok() ? FileStatus::Error(ENOTDIR, "create folder", path) : stat;
  }
  if (status.code() != ENOENT) return status;
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return status;
  FileStatus parent = CreateDirectories(files, path.substr(0, slash));
  if (!parent.ok()) return parent;
  status = files.CreateDirectory(path);
  return status.ok() || status.code() == EEXIST ? FileStatus::Ok() : status;
}

FileStatus FileSystem::ReadLink(const std::string& path, std::string*) {
  FileStatus there = Exists(path);
  return there.ok() ? FileStatus::Error(EINVAL, "read link", path) : there;
}

FileStatus ResolveLinks(FileSystem& files, const std::string& path, std::string* resolved) {
  std::string current = path;
  for (int hops = 0;; ++hops) {
    std::string target;
    FileStatus status = files.ReadLink(current, &target);
    if (status.code() == EINVAL || (status.code() == ENOENT && hops == 0)) break;
    if (status.code() == ENOENT)
      return FileStatus::Error(ENOENT, "follow the link", path,
                               "leads to " + current + ", where nothing is");
    if (!status.ok()) return status;
    if (hops == kMaxLinkHops)
      return FileStatus::Error(
          ELOOP, "follow the link", path,
          "its links make a loop, or a chain of more than " + std::to_string(kMaxLinkHops));
    if (target.empty() || target[0] == '/') {
      current = target;
    } else {
      const size_t slash = current.rfind('/');
      current = slash == std::string::npos ? target : current.substr(0, slash + 1) + target;
    }
  }
  *resolved = current;
  return FileStatus::Ok();
}

FileSystem& CurrentFileSystem() { return g_current ? *g_current : LocalFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& fileSystem) : m_previous(g_current) {
  g_current = &fileSystem;
}

ScopedFileSystem::~ScopedFileSystem() { g_current = m_previous; }

}  // namespace host
