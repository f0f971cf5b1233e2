#include "testing/memory_file_system.h"

#include <cerrno>

namespace host::testing {
namespace {

std::string parentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

// The bounds of the paths strictly inside folder: those that start with folder + "/", which
// sort from that prefix up to the prefix with its "/" raised to the next byte, "0".
std::pair<std::string, std::string> insideRange(const std::string& folder) {
  std::string prefix = folder == "/" ? "/" : folder + "/";
  std::string end = prefix;
  end.back() = '0';
  return {prefix, end};
}

bool isInside(const std::string& path, const std::string& folder) {
  auto [prefix, end] = insideRange(folder);
  return path.compare(0, prefix.size(), prefix) == 0 && path != prefix;
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

void MemoryFileSystem::AddDirectoryLocked(const std::string& path) {
  if (path.empty() || path == "/") return;
  AddDirectoryLocked(parentOf(path));
  m_nodes[path] = Node{FileKind::Directory, nullptr};
}

void MemoryFileSystem::AddDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  AddDirectoryLocked(path);
}

void MemoryFileSystem::AddFile(const std::string& path, std::string contents) {
  std::lock_guard<std::mutex> lock(m_mutex);
  AddDirectoryLocked(parentOf(path));
  m_nodes[path] = Node{FileKind::Regular, std::make_shared<std::string>(std::move(contents))};
}

void MemoryFileSystem::AddOther(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  AddDirectoryLocked(parentOf(path));
  m_nodes[path] = Node{FileKind::Other, nullptr};
}

std::optional<std::string> MemoryFileSystem::FileContents(const std::string& path) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const Node* node = Find(path);
  if (!node || node->kind != FileKind::Regular) return std::nullopt;
  return *node->contents;
}

std::vector<std::string> MemoryFileSystem::Paths() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::string> paths;
  for (const auto& [path, node] : m_nodes)
    if (path != "/") paths.push_back(path);
  return paths;
}

const MemoryFileSystem::Node* MemoryFileSystem::Find(const std::string& path) const {
  auto it = m_nodes.find(path);
  return it == m_nodes.end() ? nullptr : &it->second;
}

int MemoryFileSystem::MissingCode(const std::string& path) const {
  for (std::string at = parentOf(path); at != "/"; at = parentOf(at)) {
    if (const Node* node = Find(at)) return node->kind == FileKind::Directory ? ENOENT : ENOTDIR;
  }
  return ENOENT;
}

FileStatus MemoryFileSystem::CheckParent(std::string_view operation,
                                         const std::string& path) const {
  const Node* parent = Find(parentOf(path));
  if (!parent) return FileStatus::Error(MissingCode(parentOf(path)), operation, path);
  if (parent->kind != FileKind::Directory) return FileStatus::Error(ENOTDIR, operation, path);
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::CreateDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (Find(path)) return FileStatus::Error(EEXIST, "create folder", path);
  FileStatus parent = CheckParent("create folder", path);
  if (!parent.ok()) return parent;
  m_nodes[path] = Node{FileKind::Directory, nullptr};
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::RemoveTree(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!Find(path)) return FileStatus::Error(MissingCode(path), "remove", path);
  if (path == "/") return FileStatus::Error(EBUSY, "remove", path);
  auto [prefix, end] = insideRange(path);
  m_nodes.erase(m_nodes.lower_bound(prefix), m_nodes.lower_bound(end));
  m_nodes.erase(path);
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::Stat(const std::string& path, FileInfo* info) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const Node* node = Find(path);
  if (!node) return FileStatus::Error(MissingCode(path), "stat", path);
  *info = FileInfo{node->kind, node->contents ? node->contents->size() : 0};
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::Exists(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return Find(path) ? FileStatus::Ok() : FileStatus::Error(MissingCode(path), "stat", path);
}

FileStatus MemoryFileSystem::ListSubdirectories(const std::string& path,
                                                std::vector<std::string>* names) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const Node* node = Find(path);
  if (!node) return FileStatus::Error(MissingCode(path), "open folder", path);
  if (node->kind != FileKind::Directory) return FileStatus::Error(ENOTDIR, "open folder", path);
  auto [prefix, end] = insideRange(path);
  for (auto it = m_nodes.lower_bound(prefix); it != m_nodes.lower_bound(end); ++it) {
    std::string rest = it->first.substr(prefix.size());
    if (rest.find('/') == std::string::npos && it->second.kind == FileKind::Directory)
      names->push_back(rest);
  }
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::NewWritableFile(const std::string& path,
                                             std::unique_ptr<WritableFile>* file) {
  std::lock_guard<std::mutex> lock(m_mutex);
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
  std::lock_guard<std::mutex> lock(m_mutex);
  contents->clear();
  const Node* node = Find(path);
  if (!node) return FileStatus::Error(MissingCode(path), "open", path);
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
  std::lock_guard<std::mutex> lock(m_mutex);
  const Node* node = Find(path);
  if (!node) return FileStatus::Error(MissingCode(path), "remove", path);
  if (node->kind == FileKind::Directory) return FileStatus::Error(EISDIR, "remove", path);
  m_nodes.erase(path);
  return FileStatus::Ok();
}

// Follows rename(2): a file replaces a file; a folder replaces an empty folder and moves
// with everything in it; nothing moves into itself.
FileStatus MemoryFileSystem::RenameFile(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> lock(m_mutex);
  // Both parents are looked up before either name, as the kernel does.
  FileStatus parent = CheckParent("rename", from);
  if (parent.ok()) parent = CheckParent("rename", to);
  if (!parent.ok()) return parent;
  const Node* source = Find(from);
  if (!source) return FileStatus::Error(ENOENT, "rename", from);
  if (from == to) return FileStatus::Ok();
  const bool folder = source->kind == FileKind::Directory;
  if (folder && isInside(to, from)) return FileStatus::Error(EINVAL, "rename", from);
  if (const Node* target = Find(to)) {
    const bool targetFolder = target->kind == FileKind::Directory;
    if (!folder && targetFolder) return FileStatus::Error(EISDIR, "rename", from);
    if (folder && !targetFolder) return FileStatus::Error(ENOTDIR, "rename", from);
    auto [prefix, end] = insideRange(to);
    if (folder && m_nodes.lower_bound(prefix) != m_nodes.lower_bound(end))
      return FileStatus::Error(ENOTEMPTY, "rename", from);
  }
  std::map<std::string, Node> moved;
  moved[to] = *source;
  auto [prefix, end] = insideRange(from);
  for (auto it = m_nodes.lower_bound(prefix); it != m_nodes.lower_bound(end);)
    moved[to + it->first.substr(from.size())] = it->second, it = m_nodes.erase(it);
  m_nodes.erase(from);
  for (auto& [path, node] : moved) m_nodes[path] = std::move(node);
  return FileStatus::Ok();
}

class MemoryFileSystem::MemoryFileLock final : public FileLock {
 public:
  MemoryFileLock(std::shared_ptr<LockTable> table, std::string path)
      : m_table(std::move(table)), m_path(std::move(path)) {}
  ~MemoryFileLock() override {
    std::lock_guard<std::mutex> lock(m_table->mutex);
    m_table->held.erase(m_path);
  }

 private:
  std::shared_ptr<LockTable> m_table;
  std::string m_path;
};

FileStatus MemoryFileSystem::LockFile(const std::string& path, std::unique_ptr<FileLock>* lock) {
  lock->reset();
  {
    std::lock_guard<std::mutex> nodes(m_mutex);
    const Node* node = Find(path);
    if (node && node->kind == FileKind::Directory) return FileStatus::Error(EISDIR, "lock", path);
    if (!node) {
      FileStatus parent = CheckParent("lock", path);
      if (!parent.ok()) return parent;
      m_nodes[path] = Node{FileKind::Regular, std::make_shared<std::string>()};
    }
  }
  std::lock_guard<std::mutex> locks(m_locks->mutex);
  if (!m_locks->held.insert(path).second) return FileStatus::Error(EWOULDBLOCK, "lock", path);
  *lock = std::make_unique<MemoryFileLock>(m_locks, path);
  return FileStatus::Ok();
}

FileStatus MemoryFileSystem::SyncDirectory(const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const Node* node = Find(path);
  if (!node || node->kind != FileKind::Directory)
    return FileStatus::Error(MissingCode(path), "open folder", path);
  return FileStatus::Ok();
}

}  // namespace host::testing
