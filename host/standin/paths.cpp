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

// The test of IsPathSeparator, for the loops of this file to inline.
inline bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

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
    if (isSeparator(c))
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
// several paths per element. Until the folder could be created it is resolved anew on each
// call, so that a later call can still succeed.
const std::string& DriveCFolder() {
  if (!g_driveCResolved.empty()) return g_driveCResolved;
  static std::string unresolved;
  std::string folder = g_driveC.empty() ? defaultDriveC() : g_driveC;
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(folder, error);
  if (!error) folder = path.lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (CreateDirectories(CurrentFileSystem(), folder).ok()) {
    g_driveCResolved = folder;
    return g_driveCResolved;
  }
  unresolved = folder;
  return unresolved;
}

namespace {

bool isAscii(wchar_t c) { return c >= 0 && c < 0x80; }

// Appends one component as UTF-8 after a separator. Runs of ASCII characters, most of every
// path, are copied as they are.
void appendComponent(std::string& out, std::wstring_view part) {
  out.push_back('/');
  size_t i = 0;
  while (i < part.size()) {
    size_t run = 0;
    while (i + run < part.size() && isAscii(part[i + run])) ++run;
    if (run == 0) {
      const wchar_t single[2] = {part[i++], L'\0'};
      out += BeStringUtilities::WCharToUtf8(single);
      continue;
    }
    const size_t at = out.size();
    out.resize(at + run);
    for (size_t k = 0; k < run; ++k) out[at + k] = static_cast<char>(part[i + k]);
    i += run;
  }
}

// root (less trailing separators) followed by "/" and each component of text as UTF-8, with
// the components resolved as ResolvePathComponents resolves them, in one pass and without a
// list of components: ".." takes back the last component written and never the root.
std::string resolvedUnder(std::string_view root, std::wstring_view text) {
  while (!root.empty() && root.back() == '/') root.remove_suffix(1);
  std::string out;
  out.reserve(root.size() + text.size() + 8);
  out.append(root);
  const size_t rootSize = out.size();
  const wchar_t* p = text.data();
  const wchar_t* const end = p + text.size();
  for (;;) {
    const wchar_t* stop = p;
    while (stop != end && !isSeparator(*stop)) ++stop;
    const size_t size = static_cast<size_t>(stop - p);
    if (size == 2 && p[0] == L'.' && p[1] == L'.') {
      if (out.size() > rootSize) out.resize(out.rfind('/'));
    } else if (size != 0 && !(size == 1 && p[0] == L'.')) {
      appendComponent(out, std::wstring_view(p, size));
    }
    if (stop == end) break;
    p = stop + 1;
  }
  if (out.empty()) out = "/";
  return out;
}

}  // namespace

bool ToLocalPath(std::wstring_view path, std::string* local) {
  if (path.empty()) return false;
  if (DriveLength(path) != 0) {
    wchar_t drive = std::towupper(path[0]);
    const std::wstring_view rest = path.substr(2);
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
  std::wstring absolute(path);
  if (path[0] != L'/') {
    absolute = BeStringUtilities::Utf8ToWChar(workingFolder().c_str()) + L"/" + absolute;
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

namespace {

inline bool refusedInName(wchar_t c) {
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

}  // namespace

bool IsRefusedNameChar(wchar_t c) { return refusedInName(c); }

bool IsPathSeparator(wchar_t c) { return isSeparator(c); }

// A drive letter is a letter of the locale; ASCII letters, the usual ones, are known without
// asking the locale.
size_t DriveLength(std::wstring_view path) {
  if (path.size() < 2 || path[1] != L':') return 0;
  const wchar_t c = path[0];
  const bool letter = isAscii(c) ? (c | 0x20) >= L'a' && (c | 0x20) <= L'z' : std::iswalpha(c);
  return letter ? 2 : 0;
}

size_t LastComponentStart(std::wstring_view path) {
  const size_t drive = DriveLength(path);
  for (size_t i = path.size(); i > drive; --i)
    if (isSeparator(path[i - 1])) return i;
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

bool LastComponentIsRefused(std::wstring_view windowsPath) {
  for (size_t i = LastComponentStart(windowsPath); i < windowsPath.size(); ++i)
    if (refusedInName(windowsPath[i])) return true;
  return false;
}

}  // namespace host
