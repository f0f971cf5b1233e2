#include "standin/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <string_view>
#include <vector>

#include "host/wstring.h"
#include "standin/file_system.h"

namespace host {
namespace {

std::string g_driveC;          // as set by SetDriveCFolder; empty means the default
std::string g_driveCResolved;  // absolute and created; empty until first use

std::string defaultDriveC() {
  if (const char* env = std::getenv("TOLVANE_DRIVE_C"); env && *env) return env;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.tolvane/drive_c";
}

std::string workingFolder() {
  std::error_code error;
  auto cwd = std::filesystem::current_path(error);
  return error ? std::string("/") : cwd.string();
}

}  // namespace

std::vector<std::wstring> ResolvePathComponents(const std::wstring& text) {
  std::vector<std::wstring> parts;
  std::wstring current;
  auto flush = [&] {
    if (current.empty() || current == L".") {
    } else if (current == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(current);
    }
    current.clear();
  };
  for (wchar_t c : text) {
    if (IsPathSeparator(c))
      flush();
    else
      current.push_back(c);
  }
  flush();
  return parts;
}

void SetDriveCFolder(const std::string& localFolder) {
  g_driveC = localFolder;
  g_driveCResolved.clear();
}

// Resolved once: every Windows path on drive C passes through here, and the export turns
// several paths per element.
std::string DriveCFolder() {
  if (!g_driveCResolved.empty()) return g_driveCResolved;
  std::string folder = g_driveC.empty() ? defaultDriveC() : g_driveC;
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(folder, error);
  if (!error) folder = path.lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (CreateDirectories(CurrentFileSystem(), folder).ok()) g_driveCResolved = folder;
  return folder;
}

namespace {

// Appends one component as UTF-8 after a separator.
void appendComponent(std::string& out, std::wstring_view part) {
  out.push_back('/');
  for (wchar_t c : part) {
    if (c >= 0 && c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      const wchar_t single[2] = {c, L'\0'};
      out += BeStringUtilities::WCharToUtf8(single);
    }
  }
}

// root (less trailing separators) followed by "/" and each component of text as UTF-8, with
// the components resolved as ResolvePathComponents resolves them, in one pass and without a
// list of components: ".." takes back the last component written and never the root.
std::string resolvedUnder(const std::string& root, std::wstring_view text) {
  std::string out = root;
  while (!out.empty() && out.back() == '/') out.pop_back();
  const size_t rootSize = out.size();
  out.reserve(rootSize + text.size() + 8);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && !IsPathSeparator(text[end])) ++end;
    const std::wstring_view part = text.substr(start, end - start);
    if (part == L"..") {
      if (out.size() > rootSize) out.resize(out.rfind('/'));
    } else if (!part.empty() && part != L".") {
      appendComponent(out, part);
    }
    start = end + 1;
  }
  return out.empty() ? "/" : out;
}

}  // namespace

bool ToLocalPath(const std::wstring& path, std::string* local) {
  if (path.empty()) return false;
  if (DriveLength(path) != 0) {
    wchar_t drive = std::towupper(path[0]);
    const std::wstring_view rest = std::wstring_view(path).substr(2);
    if (drive == L'C') {
      *local = resolvedUnder(DriveCFolder(), rest);
      return true;
    }
    if (drive == L'Z') {
      *local = resolvedUnder("/", rest);
      return true;
    }
    return false;
  }
  std::wstring absolute = path;
  if (path[0] != L'/') {
    absolute = BeStringUtilities::Utf8ToWChar(workingFolder().c_str()) + L"/" + path;
  }
  *local = resolvedUnder("/", absolute);
  return true;
}

std::wstring ToWindowsPath(const std::string& localPath) {
  std::string absolute = localPath;
  if (absolute.empty() || absolute[0] != '/') absolute = workingFolder() + "/" + absolute;
  auto parts = ResolvePathComponents(BeStringUtilities::Utf8ToWChar(absolute.c_str()));
  std::wstring out = L"Z:";
  for (const auto& part : parts) out += L"\\" + part;
  if (parts.empty()) out += L"\\";
  return out;
}

bool IsRefusedNameChar(wchar_t c) {
  switch (c) {
    case L'<':
    case L'>':
    case L':':
    case L'"':
    case L'/':
    case L'\\':
    case L'|':
    case L'?':
    case L'*':
      return true;
    default:
      return c < 0x20;
  }
}

bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

size_t DriveLength(std::wstring_view path) {
  return path.size() >= 2 && path[1] == L':' && std::iswalpha(path[0]) ? 2 : 0;
}

size_t LastComponentStart(std::wstring_view path) {
  const size_t drive = DriveLength(path);
  for (size_t i = path.size(); i > drive; --i)
    if (IsPathSeparator(path[i - 1])) return i;
  return drive;
}

std::string LocalFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LocalNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool LastComponentIsRefused(const std::wstring& windowsPath) {
  for (size_t i = LastComponentStart(windowsPath); i < windowsPath.size(); ++i)
    if (IsRefusedNameChar(windowsPath[i])) return true;
  return false;
}

}  // namespace host
