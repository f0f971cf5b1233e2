#include "host/file_name.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "standin/files/file_system.h"
#include "standin/files/locale_codeset.h"
#include "standin/files/paths.h"

namespace {

// The position of the extension's dot in the name that starts at start, or npos.
size_t extensionDot(std::wstring_view path, size_t start) {
  size_t dot = path.find_last_of(L'.');
  return dot != std::wstring_view::npos && dot >= start ? dot : std::wstring_view::npos;
}

bool toLocal(WCharCP path, std::string* local) { return path && host::ToLocalPath(path, local); }

bool toLocalNarrow(const char* narrowName, std::string* local) {
  if (!narrowName) return false;
  WString wide;
  BeStringUtilities::CurrentLocaleCharToWChar(wide, narrowName);
  return host::ToLocalPath(wide, local);
}

// Eight bytes at a time: any byte with its top bit set is not ASCII.
bool isAsciiText(std::string_view text) {
  uint64_t bits = 0;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    bits |= word;
  }
  for (; i < text.size(); ++i) bits |= static_cast<unsigned char>(text[i]);
  return (bits & 0x8080808080808080ull) == 0;
}

// The room for a new file's local path that each thread keeps, found once per file.
[[gnu::noinline]] std::string& newFileLocalPath() {
  thread_local std::string local;
  return local;
}

// What Create answers for a path that can't be mapped or whose name Windows refuses; Success
// for one that can be created.
BeFileStatus mappingRefusal(host::NewPathStatus mapped) {
  if (mapped == host::NewPathStatus::Unmapped) return BeFileStatus::FileNotFound;
  if (mapped == host::NewPathStatus::RefusedName) return BeFileStatus::AccessViolation;
  return BeFileStatus::Success;
}

BeFileStatus openForWriting(const std::string& local, std::unique_ptr<host::WritableFile>& file) {
  return host::CurrentFileSystem().NewWritableFile(local, &file).ok()
             ? BeFileStatus::Success
             : BeFileStatus::AccessViolation;
}

bool isDirectory(const std::string& local) {
  host::FileInfo info;
  return host::CurrentFileSystem().Stat(local, &info).ok() &&
         info.kind == host::FileKind::Directory;
}

}  // namespace

BeFileName::BeFileName(int mask, WCharCP fullName) {
  const std::wstring_view path = fullName ? fullName : L"";
  size_t start = host::LastComponentStart(path);
  size_t dot = extensionDot(path, start);
  size_t deviceEnd = host::DriveLength(path);
  const size_t nameEnd = dot == npos ? path.size() : dot;
  // The parts in their order, each kept or not: [begin, end) of path.
  const std::pair<size_t, size_t> parts[] = {
      {mask & Device ? 0 : deviceEnd, deviceEnd},
      {mask & Directory ? deviceEnd : start, start},
      {mask & Basename ? start : nameEnd, nameEnd},
      {(mask & Extension) ? nameEnd : path.size(), path.size()}};
  size_t length = 0;
  for (const auto& [begin, end] : parts) length += end - begin;
  reserve(length);
  for (const auto& [begin, end] : parts) append(path.substr(begin, end - begin));
}

WString BeFileName::GetFileNameWithoutExtension() const { return BeFileName(Basename, c_str()); }

bool BeFileName::DoesPathExist(WCharCP path) {
  std::string local;
  return toLocal(path, &local) && host::CurrentFileSystem().Exists(local).ok();
}

bool BeFileName::IsDirectory(WCharCP path) {
  std::string local;
  return toLocal(path, &local) && isDirectory(local);
}

BeFileNameStatus BeFileName::CreateNewDirectory(WCharCP path) {
  thread_local std::string local;  // room kept for the next folder, as in BeFile::Create
  const host::NewPathStatus mapped =
      path ? host::ToLocalNewPath(path, &local) : host::NewPathStatus::Unmapped;
  if (mapped == host::NewPathStatus::Unmapped) return BeFileNameStatus::CantCreate;
  auto& fs = host::CurrentFileSystem();
  // The folder is made at once when its parent exists and its name is allowed: one call, and
  // a refusal (it exists, a parent is missing) falls through to the full checks below.
  const bool triedAtOnce = mapped == host::NewPathStatus::Mapped;
  if (triedAtOnce && fs.CreateDirectory(local).ok()) return BeFileNameStatus::Success;
  if (fs.Exists(local).ok()) return BeFileNameStatus::AlreadyExists;
  // Walk up to the first folder that exists, then create the missing ones top down; every
  // new component must be a name that Windows accepts.
  std::vector<std::wstring> missing;
  std::wstring wide = path;
  while (!wide.empty()) {
    while (!wide.empty() && host::IsPathSeparator(wide.back())) wide.pop_back();
    std::string localPart;
    if (!host::ToLocalPath(wide, &localPart) || fs.Exists(localPart).ok()) break;
    if (host::LastComponentIsRefused(wide)) return BeFileNameStatus::IllegalName;
    missing.push_back(wide);
    size_t start = host::LastComponentStart(wide);
    if (start == 0 || start == host::DriveLength(wide)) break;
    wide.resize(start - 1);
  }
  // With its parent there, the folder itself was refused just now: not asked twice.
  if (triedAtOnce && missing.size() == 1) return BeFileNameStatus::CantCreate;
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    std::string localPart;
    host::ToLocalPath(*it, &localPart);
    if (!fs.CreateDirectory(localPart).ok()) return BeFileNameStatus::CantCreate;
  }
  return BeFileNameStatus::Success;
}

BeFileNameStatus BeFileName::EmptyAndRemoveDirectory(WCharCP path) {
  std::string local;
  if (!toLocal(path, &local)) return BeFileNameStatus::FileNotFound;
  if (!isDirectory(local)) return BeFileNameStatus::FileNotFound;
  return host::CurrentFileSystem().RemoveTree(local).ok() ? BeFileNameStatus::Success
                                                          : BeFileNameStatus::CantDeleteDir;
}

BeFileNameStatus BeFileName::BeDeleteFile(WCharCP path) {
  std::string local;
  if (!toLocal(path, &local)) return BeFileNameStatus::FileNotFound;
  return host::CurrentFileSystem().RemoveFile(local).ok() ? BeFileNameStatus::Success
                                                          : BeFileNameStatus::FileNotFound;
}

BeFile::BeFile() = default;
BeFile::~BeFile() { Close(); }

BeFileStatus BeFile::Create(const char* narrowName) {
  if (!narrowName) return BeFileStatus::FileNotFound;
  // A name of ASCII characters in a locale that keeps them is its own wide text: it is
  // resolved as it is, without a wide copy.
  const std::string_view narrow(narrowName);
  if (host::LocaleKeepsAscii() && isAsciiText(narrow)) {
    std::string& local = newFileLocalPath();
    const BeFileStatus refused = mappingRefusal(host::AsciiToLocalNewPath(narrow, &local));
    if (refused != BeFileStatus::Success) return refused;
    Close();
    return openForWriting(local, m_file);
  }
  WString wide;
  BeStringUtilities::CurrentLocaleCharToWChar(wide, narrowName);
  return Create(wide.c_str());
}

// Mapped by its wide name: a round trip through the locale's narrow text would turn what the
// locale can't spell into "?", and two names into one file.
BeFileStatus BeFile::Create(WCharCP name) {
  if (!name) return BeFileStatus::FileNotFound;
  std::string& local = newFileLocalPath();
  const BeFileStatus refused = mappingRefusal(host::ToLocalNewPath(name, &local));
  if (refused != BeFileStatus::Success) return refused;
  Close();
  return openForWriting(local, m_file);
}

BeFileStatus BeFile::Write(uint32_t* written, const void* data, uint32_t size) {
  if (written) *written = 0;
  if (!m_file) return BeFileStatus::AccessViolation;
  if (!m_file->Append(std::string_view(static_cast<const char*>(data), size)).ok())
    return BeFileStatus::WriteError;
  if (written) *written = size;
  return BeFileStatus::Success;
}

BeFileStatus BeFile::Close() {
  if (!m_file) return BeFileStatus::Success;
  bool ok = m_file->Close().ok();
  m_file.reset();
  return ok ? BeFileStatus::Success : BeFileStatus::WriteError;
}

BeFileStatus BeFile::ReadEntireFile(std::string& contents, const char* narrowName) {
  contents.clear();
  std::string local;
  if (!toLocalNarrow(narrowName, &local)) return BeFileStatus::FileNotFound;
  return host::CurrentFileSystem().ReadFile(local, &contents).ok() ? BeFileStatus::Success
                                                                   : BeFileStatus::FileNotFound;
}

// Opened by its wide name: a round trip through the locale's narrow text would lose what the
// locale can't spell (a name that isn't UTF-8 on disk, say).
BeFileStatus BeFile::ReadEntireFile(std::string& contents, WCharCP name) {
  contents.clear();
  std::string local;
  if (!name || !host::ToLocalPath(name, &local)) return BeFileStatus::FileNotFound;
  return host::CurrentFileSystem().ReadFile(local, &contents).ok() ? BeFileStatus::Success
                                                                   : BeFileStatus::FileNotFound;
}
