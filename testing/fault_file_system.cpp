#include "testing/fault_file_system.h"

#include <algorithm>

namespace host::testing {

const char* FileOpName(FileOp op) {
  switch (op) {
    case FileOp::CreateDirectory:
      return "CreateDirectory";
    case FileOp::RemoveTree:
      return "RemoveTree";
    case FileOp::Stat:
      return "Stat";
    case FileOp::Exists:
      return "Exists";
    case FileOp::ListSubdirectories:
      return "ListSubdirectories";
    case FileOp::NewWritableFile:
      return "NewWritableFile";
    case FileOp::Append:
      return "Append";
    case FileOp::Sync:
      return "Sync";
    case FileOp::Close:
      return "Close";
    case FileOp::ReadFile:
      return "ReadFile";
    case FileOp::RemoveFile:
      return "RemoveFile";
    case FileOp::RenameFile:
      return "RenameFile";
    case FileOp::SyncDirectory:
      return "SyncDirectory";
    case FileOp::ReadLink:
      return "ReadLink";
    case FileOp::LockFile:
      return "LockFile";
  }
  return "?";
}

// A file of the target whose appends, syncs and closes pass the same checks as the file
// system's own operations.
class FaultInjectingFileSystem::File : public WritableFile {
 public:
  File(FaultInjectingFileSystem& owner, std::unique_ptr<WritableFile> target, std::string path)
      : m_owner(owner), m_target(std::move(target)), m_path(std::move(path)) {}

  FileStatus Append(std::string_view data) override {
    FileStatus status = m_owner.Check(FileOp::Append, m_path);
    if (!status.ok()) return status;
    size_t allowed = m_owner.AppendAllowance(m_path, data.size(), &status);
    FileStatus written = m_target->Append(data.substr(0, allowed));
    return written.ok() ? status : written;
  }
  FileStatus Sync() override {
    FileStatus status = m_owner.Check(FileOp::Sync, m_path);
    return status.ok() ? m_target->Sync() : status;
  }
  // A failed close still releases the target's file, as a real close does.
  FileStatus Close() override {
    if (m_closed) return FileStatus::Ok();
    m_closed = true;
    FileStatus status = m_owner.Check(FileOp::Close, m_path);
    FileStatus closed = m_target->Close();
    return status.ok() ? closed : status;
  }

 private:
  FaultInjectingFileSystem& m_owner;
  std::unique_ptr<WritableFile> m_target;
  std::string m_path;
  bool m_closed = false;
};

FaultInjectingFileSystem::FaultInjectingFileSystem(FileSystem& target)
    : FileSystemWrapper(target) {}
FaultInjectingFileSystem::~FaultInjectingFileSystem() = default;

void FaultInjectingFileSystem::FailNth(uint64_t n, int code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failAt = n == 0 ? 0 : m_operations + n;
  m_failAtCode = code;
}

void FaultInjectingFileSystem::FailOp(FileOp op, std::string pathPart, int times, int code) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_rules.push_back(Rule{op, std::move(pathPart), times, code});
}

void FaultInjectingFileSystem::ShortWrites() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_shortWrites = true;
}

void FaultInjectingFileSystem::DiskFullAfter(uint64_t bytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_diskLimited = true;
  m_diskLeft = bytes;
}

void FaultInjectingFileSystem::Heal() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_failAt = 0;
  m_rules.clear();
  m_shortWrites = false;
  m_diskLimited = false;
}

FileStatus FaultInjectingFileSystem::Check(FileOp op, const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_operations;
  int code = 0;
  if (m_failAt != 0 && m_operations == m_failAt) code = m_failAtCode;
  for (Rule& rule : m_rules) {
    if (code != 0) break;
    if (rule.op != op || rule.times == 0) continue;
    if (!rule.pathPart.empty() && path.find(rule.pathPart) == std::string::npos) continue;
    if (rule.times > 0) --rule.times;
    code = rule.code;
  }
  if (code == 0) return FileStatus::Ok();
  ++m_faults;
  m_failed.push_back(std::string(FileOpName(op)) + " " + path);
  return FileStatus::Error(code, FileOpName(op), path);
}

size_t FaultInjectingFileSystem::AppendAllowance(const std::string& path, size_t size,
                                                 FileStatus* status) {
  std::lock_guard<std::mutex> lock(m_mutex);
  size_t allowed = size;
  if (m_shortWrites && size > 0) {
    allowed = size / 2;
    *status = FileStatus::Error(EIO, "Append", path, "short write");
  }
  if (m_diskLimited && allowed > m_diskLeft) {
    allowed = static_cast<size_t>(m_diskLeft);
    *status = FileStatus::Error(ENOSPC, "Append", path);
  }
  if (m_diskLimited) m_diskLeft -= allowed;
  if (!status->ok()) {
    ++m_faults;
    m_failed.push_back("Append " + path);
  }
  return allowed;
}

FileStatus FaultInjectingFileSystem::CreateDirectory(const std::string& path) {
  FileStatus status = Check(FileOp::CreateDirectory, path);
  return status.ok() ? target().CreateDirectory(path) : status;
}

FileStatus FaultInjectingFileSystem::RemoveTree(const std::string& path) {
  FileStatus status = Check(FileOp::RemoveTree, path);
  return status.ok() ? target().RemoveTree(path) : status;
}

FileStatus FaultInjectingFileSystem::Stat(const std::string& path, FileInfo* info) {
  FileStatus status = Check(FileOp::Stat, path);
  return status.ok() ? target().Stat(path, info) : status;
}

FileStatus FaultInjectingFileSystem::Exists(const std::string& path) {
  FileStatus status = Check(FileOp::Exists, path);
  return status.ok() ? target().Exists(path) : status;
}

FileStatus FaultInjectingFileSystem::ListSubdirectories(const std::string& path,
                                                        std::vector<std::string>* names) {
  FileStatus status = Check(FileOp::ListSubdirectories, path);
  return status.ok() ? target().ListSubdirectories(path, names) : status;
}

FileStatus FaultInjectingFileSystem::NewWritableFile(const std::string& path,
                                                     std::unique_ptr<WritableFile>* file) {
  file->reset();
  FileStatus status = Check(FileOp::NewWritableFile, path);
  if (!status.ok()) return status;
  std::unique_ptr<WritableFile> inner;
  status = target().NewWritableFile(path, &inner);
  if (status.ok()) *file = std::make_unique<File>(*this, std::move(inner), path);
  return status;
}

FileStatus FaultInjectingFileSystem::ReadFile(const std::string& path, std::string* contents,
                                              uint64_t maxBytes) {
  FileStatus status = Check(FileOp::ReadFile, path);
  if (!status.ok()) {
    contents->clear();
    return status;
  }
  return target().ReadFile(path, contents, maxBytes);
}

FileStatus FaultInjectingFileSystem::RemoveFile(const std::string& path) {
  FileStatus status = Check(FileOp::RemoveFile, path);
  return status.ok() ? target().RemoveFile(path) : status;
}

FileStatus FaultInjectingFileSystem::RenameFile(const std::string& from, const std::string& to) {
  FileStatus status = Check(FileOp::RenameFile, from);
  return status.ok() ? target().RenameFile(from, to) : status;
}

FileStatus FaultInjectingFileSystem::SyncDirectory(const std::string& path) {
  FileStatus status = Check(FileOp::SyncDirectory, path);
  return status.ok() ? target().SyncDirectory(path) : status;
}

FileStatus FaultInjectingFileSystem::ReadLink(const std::string& path, std::string* linkTarget) {
  FileStatus status = Check(FileOp::ReadLink, path);
  return status.ok() ? target().ReadLink(path, linkTarget) : status;
}

FileStatus FaultInjectingFileSystem::LockFile(const std::string& path,
                                              std::unique_ptr<FileLock>* lock) {
  lock->reset();
  FileStatus status = Check(FileOp::LockFile, path);
  return status.ok() ? target().LockFile(path, lock) : status;
}

}  // namespace host::testing
