#include "testing/memory_file_system.h"

#include <cerrno>

namespace host::testing {
namespace {

std::string parentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

bool isInside(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.size() > 1 && path[0] == '/';
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

// Appends to a file's contents; the contents stay alive while the writer is open, even when
// the file is removed meanwhile, as an open descriptor keeps a removed file.
class MemoryWritableFile : public WritableFile {
 public:
  explicit MemoryWritableFile(std::shared_ptr<std::string> contents)
      : m_contents(std::move(contents)) {}
  FileStatus Append(std::string_view data) override {
    if (!m_contents) return FileStatus::Error(EBADF, "write", "(closed file)");
    m_contents->append(data);
    return FileStatus::Ok();
  }
  FileStatus Sync() override { return FileStatus::Ok(); }
  FileStatus Close() override {
    m_contents.reset();
    return FileStatus::Ok();
  }

 private:
  std::shared_ptr<std::string> m_contents;
};

}  // namespace

MemoryFileSystem::MemoryFileSystem() { m_nodes["/"] = Node{FileKind::Directory, nullptr}; }
MemoryFileSystem::~MemoryFileSystem() = default;

void MemoryFileSystem::AddDirectory(const std::string& path) {
  if (path.empty() || path == "/") return;
  AddDirectory(parentOf(path));
  m_nodes[path] = Node{FileKind::Directory, nullptr};
}

void MemoryFileSystem::AddFile(const std::string& path, std::string contents) {
  AddDirectory(parentOf(path));
  m_nodes[path] = Node{FileKind::Regular, std::make_shared<std::string>(std::move(contents))};
}

void MemoryFileSystem::AddOther(const std::string& path) {
  AddDirectory(parentOf(path));
  m_nodes[path] = Node{FileKind::Other, nullptr};
}

std::optional<std::string> MemoryFileSystem::FileContents(const std::string& path) const {
  const Node* node = Find(path);
  if (!node || node->kind != FileKind::Regular) return std::nullopt;
  return *node->contents;
}

std::vector<std::string> MemoryFileSystem::Paths() const {
  std::vector<std::string> paths;
  for (const auto& [path, node] : m_nodes)
    if (path != "/") paths.push_back(path);
  return paths;
}

const MemoryFileSystem::Node* MemoryFileSystem::Find(const std::string& path) const {
  auto it = m_nodes.find(path);
  return it == m_nodes.end() ? nullptr : &it->second;
}

FileStatus MemoryFileSystem::CheckParent(std::string_view operation,
                                         const std::string& path) const {
  const Node* parent = Find(parentOf(path));
  if (!parent) return FileStatus::Error(ENOENT, operation, path);
  if (parent->kind != FileKind::Directory) return FileStatus::Error(ENOTDIR, operation, path);
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::CreateDirectory(const std::string& path) {
  if (Find(path)) return FileStatus::Error(EEXIST, "create folder", path);
  FileStatus parent = CheckParent("create folder", path);
  if (!parent.ok()) return parent;
  m_nodes[path] = Node{FileKind::Directory, nullptr};
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::RemoveTree(const std::string& path) {
  if (!Find(path)) return FileStatus::Error(ENOENT, "remove", path);
  if (path == "/") return FileStatus::Error(EBUSY, "remove", path);
  auto it = m_nodes.upper_bound(path);
  while (it != m_nodes.end() && isInside(it->first, path)) it = m_nodes.erase(it);
  m_nodes.erase(path);
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::Stat(const std::string& path, FileInfo* info) {
  const Node* node = Find(path);
  if (!node) return FileStatus::Error(ENOENT, "stat", path);
  *info = FileInfo{node->kind, node->contents ? node->contents->size() : 0};
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::Exists(const std::string& path) {
  return Find(path) ? FileStatus::Ok() : FileStatus::Error(ENOENT, "stat", path);
}

FileStatus MemoryFileSystem::ListSubdirectories(const std::string& path,
                                                std::vector<std::string>* names) {
  const Node* node = Find(path);
  if (!node) return FileStatus::Error(ENOENT, "open folder", path);
  if (node->kind != FileKind::Directory) return FileStatus::Error(ENOTDIR, "open folder", path);
  const std::string prefix = path == "/" ? "/" : path + "/";
  for (auto it = m_nodes.upper_bound(path); it != m_nodes.end() && isInside(it->first, path);
       ++it) {
    std::string rest = it->first.substr(prefix.size());
    if (rest.find('/') == std::string::npos && it->second.kind == FileKind::Directory)
      names->push_back(rest);
  }
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::NewWritableFile(const std::string& path,
                                             std::unique_ptr<WritableFile>* file) {
  file->reset();
  if (const Node* node = Find(path); node && node->kind != FileKind::Regular)
    return FileStatus::Error(node->kind == FileKind::Directory ? EISDIR : EACCES, "create", path);
  FileStatus parent = CheckParent("create", path);
  if (!parent.ok()) return parent;
  auto contents = std::make_shared<std::string>();
  m_nodes[path] = Node{FileKind::Regular, contents};
  *file = std::make_unique<MemoryWritableFile>(contents);
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::ReadFile(const std::string& path, std::string* contents,
                                      uint64_t maxBytes) {
  contents->clear();
  const Node* node = Find(path);
  if (!node) return FileStatus::Error(ENOENT, "open", path);
  if (node->kind == FileKind::Directory)
    return FileStatus::Error(EINVAL, "open", path, "is a folder, not a file");
  if (node->kind == FileKind::Other)
    return FileStatus::Error(EINVAL, "open", path, "is a device or pipe, not a regular file");
  if (node->contents->size() > maxBytes)
    return FileStatus::Error(EFBIG, "open", path,
                             "is larger than " + std::to_string(maxBytes) + " bytes");
  *contents = *node->contents;
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::RemoveFile(const std::string& path) {
  const Node* node = Find(path);
  if (!node) return FileStatus::Error(ENOENT, "remove", path);
  if (node->kind == FileKind::Directory) return FileStatus::Error(EISDIR, "remove", path);
  m_nodes.erase(path);
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::RenameFile(const std::string& from, const std::string& to) {
  const Node* source = Find(from);
  if (!source) return FileStatus::Error(ENOENT, "rename", from);
  if (source->kind == FileKind::Directory) return FileStatus::Error(EISDIR, "rename", from);
  if (const Node* target = Find(to); target && target->kind == FileKind::Directory)
    return FileStatus::Error(EISDIR, "rename", from);
  FileStatus parent = CheckParent("rename", to);
  if (!parent.ok()) return parent;
  Node moved = *source;
  m_nodes.erase(from);
  m_nodes[to] = std::move(moved);
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::SyncDirectory(const std::string& path) {
  const Node* node = Find(path);
  if (!node || node->kind != FileKind::Directory)
    return FileStatus::Error(ENOENT, "open folder", path);
  return FileStatus::Ok();
}

}  // namespace host::testing
