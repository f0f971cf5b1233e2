// The local disk of Windows: LocalFileSystem() there. Local paths are UTF-8 with "/" or "\"
// between components ("C:/Users/ann/Site.dgn"); every call takes the wide form of the path, in
// the long-path form "\\?\C:\...", so that any name the volume holds can be reached and no
// path is cut at 260 characters. Failures carry the errno value of the POSIX file system's
// same failure, so that callers judge them alike on both.
#include <windows.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

#include "standin/files/file_system.h"
#include "standin/files/win32_text.h"

namespace host {
namespace {

// The errno value of a Windows error code, for the failures callers tell apart.
int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EWOULDBLOCK;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return EINVAL;
    default:
      return EIO;
  }
}

// Whether a folder on the way to path is a file, where POSIX says ENOTDIR and Windows only
// that the path isn't found.
bool parentIsAFile(const std::string& path) {
  for (size_t end = path.find_last_of('/'); end != std::string::npos && end > 0;
       end = path.find_last_of('/', end - 1)) {
    const DWORD attributes = GetFileAttributesW(LongPath(path.substr(0, end)).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  return false;
}

FileStatus lastError(std::string_view operation, const std::string& path) {
  const DWORD error = GetLastError();
  int code = errnoOf(error);
  if (code == ENOENT && parentIsAFile(path)) code = ENOTDIR;
  return FileStatus::Error(
      code, operation, path,
      code == EIO ? "Windows error " + std::to_string(error) : std::string(std::strerror(code)));
}

// As lastError, but a refusal on a path that is a folder is told as POSIX tells it (EISDIR):
// Windows says only "access denied" when a file operation meets a folder.
FileStatus fileOperationError(std::string_view operation, const std::string& path) {
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
  if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return FileStatus::Error(EISDIR, operation, path, std::strerror(EISDIR));
  SetLastError(error);
  return lastError(operation, path);
}

// Closes a handle when it goes out of scope.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : m_handle(handle) {}
  ~ScopedHandle() {
    if (valid()) CloseHandle(m_handle);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
  HANDLE get() const { return m_handle; }
  HANDLE release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }

 private:
  HANDLE m_handle;
};

// Calls visit with the name and attributes of each entry of a folder but "." and "..".
template <typename Visit>
FileStatus forEachEntry(const std::string& path, Visit visit) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileExW((LongPath(path) + L"\\*").c_str(), FindExInfoBasic, &entry,
                                 FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      return FileStatus::Error(ENOTDIR, "open folder", path, std::strerror(ENOTDIR));
    SetLastError(error);
    return lastError("open folder", path);
  }
  do {
    const std::wstring_view name(entry.cFileName);
    if (name == L"." || name == L"..") continue;
    visit(WideToUtf8(name), entry.dwFileAttributes);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return FileStatus::Ok();
}

class LocalWritableFile final : public WritableFile {
 public:
  LocalWritableFile(HANDLE handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
  ~LocalWritableFile() override { Close(); }
  LocalWritableFile(const LocalWritableFile&) = delete;
  LocalWritableFile& operator=(const LocalWritableFile&) = delete;

  FileStatus Append(std::string_view data) override {
    while (!data.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
      DWORD written = 0;
      if (!WriteFile(m_handle, data.data(), chunk, &written, nullptr))
        return lastError("write", m_path);
      if (written == 0) return FileStatus::Error(ENOSPC, "write", m_path);
      data.remove_prefix(written);
    }
    return FileStatus::Ok();
  }
  FileStatus Sync() override {
    return FlushFileBuffers(m_handle) ? FileStatus::Ok() : lastError("flush", m_path);
  }
  FileStatus Close() override {
    if (m_handle == INVALID_HANDLE_VALUE) return FileStatus::Ok();
    const bool closed = CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
    return closed ? FileStatus::Ok() : lastError("close", m_path);
  }

 private:
  HANDLE m_handle;
  std::string m_path;
};

// A lock held through its open handle: LockFileEx locks belong to the handle, so closing it
// (or the end of the process) releases the lock. The handle is not inherited by a program
// the host starts.
class LocalFileLock final : public FileLock {
 public:
  explicit LocalFileLock(HANDLE handle) : m_handle(handle) {}
  ~LocalFileLock() override { CloseHandle(m_handle); }
  LocalFileLock(const LocalFileLock&) = delete;
  LocalFileLock& operator=(const LocalFileLock&) = delete;

 private:
  HANDLE m_handle;
};

FileKind kindOf(DWORD attributes) {
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Directory : FileKind::Regular;
}

FileStatus removeTreeAt(const std::string& path) {
  const std::wstring wide = LongPath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return lastError("remove", path);
  // A link to a folder is removed as a link, never followed.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    FileStatus first;  // the first failure inside, if any; removal goes on past it
    FileStatus listed = forEachEntry(path, [&](const std::string& name, DWORD) {
      FileStatus status = removeTreeAt(path + "/" + name);
      if (first.ok()) first = status;
    });
    if (!listed.ok()) return listed;
    if (!RemoveDirectoryW(wide.c_str()) && first.ok()) first = lastError("remove folder", path);
    return first;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  const bool removed = attributes & FILE_ATTRIBUTE_DIRECTORY ? RemoveDirectoryW(wide.c_str())
                                                             : DeleteFileW(wide.c_str());
  return removed ? FileStatus::Ok() : lastError("remove", path);
}

// Reads an open regular file of known size whole; the size bounds the read.
FileStatus readOpenFile(HANDLE handle, uint64_t size, const std::string& path,
                        std::string* contents) {
  contents->resize(size);
  size_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(size - done, 1u << 30));
    DWORD read = 0;
    if (!::ReadFile(handle, contents->data() + done, chunk, &read, nullptr))
      return lastError("read", path);
    if (read == 0) break;  // the file shrank meanwhile: what is there is the file
    done += read;
  }
  contents->resize(done);
  return FileStatus::Ok();
}

class LocalFileSystemImpl : public FileSystem {
 public:
  FileStatus CreateDirectory(const std::string& path) override {
    return CreateDirectoryW(LongPath(path).c_str(), nullptr) ? FileStatus::Ok()
                                                             : lastError("create folder", path);
  }
  FileStatus RemoveTree(const std::string& path) override { return removeTreeAt(path); }
  FileStatus Stat(const std::string& path, FileInfo* info) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data))
      return lastError("stat", path);
    const FileKind kind = kindOf(data.dwFileAttributes);
    const uint64_t size = uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
    *info = FileInfo{kind, kind == FileKind::Regular ? size : 0};
    return FileStatus::Ok();
  }
  FileStatus Exists(const std::string& path) override {
    return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES
               ? FileStatus::Ok()
               : lastError("stat", path);
  }
  FileStatus ListSubdirectories(const std::string& path, std::vector<std::string>* names) override {
    return forEachEntry(path, [&](const std::string& name, DWORD attributes) {
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) names->push_back(name);
    });
  }
  FileStatus NewWritableFile(const std::string& path,
                             std::unique_ptr<WritableFile>* file) override {
    file->reset();
    HANDLE handle =
        CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return fileOperationError("create", path);
    *file = std::make_unique<LocalWritableFile>(handle, path);
    return FileStatus::Ok();
  }
  // Opened with backup semantics, so that a folder opens too and is told apart by its
  // handle; anything but a file on a disk (a console, a pipe, a device) is refused unread.
  FileStatus ReadFile(const std::string& path, std::string* contents, uint64_t maxBytes) override {
    contents->clear();
    ScopedHandle handle(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) return lastError("open", path);
    if (GetFileType(handle.get()) != FILE_TYPE_DISK)
      return FileStatus::Error(EINVAL, "open", path, "is a device or pipe, not a regular file");
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle.get(), &information)) return lastError("stat", path);
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      return FileStatus::Error(EINVAL, "open", path, "is a folder, not a file");
    const uint64_t size = uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    if (size > maxBytes) {
      return FileStatus::Error(EFBIG, "open", path,
                               "is larger than " + std::to_string(maxBytes) + " bytes");
    }
    return readOpenFile(handle.get(), size, path, contents);
  }
  FileStatus RemoveFile(const std::string& path) override {
    return DeleteFileW(LongPath(path).c_str()) ? FileStatus::Ok()
                                               : fileOperationError("remove", path);
  }
  // Replaces the target in one step, and returns once the rename is on the disk.
  FileStatus RenameFile(const std::string& from, const std::string& to) override {
    if (MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return FileStatus::Ok();
    const DWORD error = GetLastError();
    // POSIX finds both folders before the file: a file on the way to `to` answers ENOTDIR
    // even when `from` is missing, unless the folder of `from` is missing itself.
    const std::string fromFolder = from.substr(0, from.find_last_of('/'));
    const bool fromFolderExists =
        GetFileAttributesW(LongPath(fromFolder).c_str()) != INVALID_FILE_ATTRIBUTES;
    if (errnoOf(error) == ENOENT && fromFolderExists && parentIsAFile(to))
      return FileStatus::Error(ENOTDIR, "rename", from, std::strerror(ENOTDIR));
    SetLastError(error);
    return lastError("rename", from);
  }
  // A folder's entries can't be flushed on Windows; the rename that matters is written
  // through already.
  FileStatus SyncDirectory(const std::string& path) override { return Exists(path); }
  FileStatus LockFile(const std::string& path, std::unique_ptr<FileLock>* lock) override {
    lock->reset();
    ScopedHandle handle(CreateFileW(LongPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) return lastError("lock", path);
    OVERLAPPED whole = {};
    if (!LockFileEx(handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &whole))
      return lastError("lock", path);
    *lock = std::make_unique<LocalFileLock>(handle.release());
    return FileStatus::Ok();
  }
};

}  // namespace

FileSystem& LocalFileSystem() {
  static LocalFileSystemImpl local;
  return local;
}

}  // namespace host
