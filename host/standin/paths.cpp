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

// Writes text[from, to) as UTF-8 at out[at], each character in one pass: an ASCII character
// as its one byte; any other through WCharToUtf8, growing out so that the rest of the text
// still fits at one byte a character. Returns where the writing ended.
size_t writeUtf8(std::string& out, size_t at, std::wstring_view text, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    const wchar_t c = text[i];
    if (isAscii(c)) {
      out[at++] = static_cast<char>(c);
      continue;
    }
    const wchar_t single[2] = {c, L'\0'};
    const std::string bytes = BeStringUtilities::WCharToUtf8(single);
    const size_t needed = at + bytes.size() + (text.size() - i);
    if (needed > out.size()) out.resize(needed);
    bytes.copy(out.data() + at, bytes.size());
    at += bytes.size();
  }
  return at;
}

// The same for text that holds only ASCII characters: copied as it is.
size_t writeUtf8(std::string& out, size_t at, std::string_view asciiText, size_t from, size_t to) {
  asciiText.copy(out.data() + at, to - from, from);
  return at + (to - from);
}

// root (less trailing separators) followed by "/" and each component of text as UTF-8, with
// the components resolved as ResolvePathComponents resolves them, in one pass and without a
// list of components: "." and empty components are dropped, ".." takes back the last
// component written and never the root.
template <typename Char>
std::string resolvedUnder(std::string_view root, std::basic_string_view<Char> text) {
  while (!root.empty() && root.back() == '/') root.remove_suffix(1);
  // Room for an all-ASCII text: one byte a character, one '/' a separator, one '/' more
  // before the first component.
  std::string out(root.size() + text.size() + 1, '\0');
  root.copy(out.data(), root.size());
  const size_t rootSize = root.size();
  size_t size = rootSize;  // the bytes of out written so far
  size_t begin = 0;        // where the component starts in text
  for (;;) {
    size_t end = begin;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    const size_t length = end - begin;
    if (length == 2 && text[begin] == '.' && text[begin + 1] == '.') {
      if (size > rootSize) size = out.rfind('/', size - 1);
    } else if (length != 0 && !(length == 1 && text[begin] == '.')) {
      out[size] = '/';
      size = writeUtf8(out, size + 1, text, begin, end);
    }
    if (end == text.size()) break;
    begin = end + 1;
  }
  out.resize(size);
  if (out.empty()) out = "/";
  return out;
}

// A drive letter is a letter of the locale; ASCII letters, the usual ones, are known without
// asking the locale.
template <typename Char>
size_t driveLength(std::basic_string_view<Char> path) {
  if (path.size() < 2 || path[1] != ':') return 0;
  const wchar_t c = static_cast<wchar_t>(path[0]);
  const bool letter = isAscii(c) ? (c | 0x20) >= L'a' && (c | 0x20) <= L'z' : std::iswalpha(c);
  return letter ? 2 : 0;
}

template <typename Char>
bool toLocalPath(std::basic_string_view<Char> path, std::string* local) {
  if (path.empty()) return false;
  if (driveLength(path) != 0) {
    // ASCII letters are known without the locale (only 'c' and 'z' map a drive).
    const wchar_t first = static_cast<wchar_t>(path[0]);
    const wchar_t drive = isAscii(first) ? first & ~0x20 : std::towupper(first);
    const auto rest = path.substr(2);
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
  if (path[0] != '/') {
    std::wstring absolute = BeStringUtilities::Utf8ToWChar(workingFolder().c_str()) + L"/";
    absolute.append(path.begin(), path.end());
    *local = resolvedUnder("/", std::wstring_view(absolute));
    return true;
  }
  *local = resolvedUnder("/", path);
  return true;
}

}  // namespace

bool ToLocalPath(std::wstring_view path, std::string* local) { return toLocalPath(path, local); }

bool AsciiToLocalPath(std::string_view path, std::string* local) {
  return toLocalPath(path, local);
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

size_t DriveLength(std::wstring_view path) { return driveLength(path); }

namespace {

template <typename Char>
size_t lastComponentStart(std::basic_string_view<Char> path) {
  const size_t drive = driveLength(path);
  for (size_t i = path.size(); i > drive; --i)
    if (isSeparator(path[i - 1])) return i;
  return drive;
}

template <typename Char>
bool lastComponentIsRefused(std::basic_string_view<Char> path) {
  for (size_t i = lastComponentStart(path); i < path.size(); ++i)
    if (refusedInName(static_cast<wchar_t>(path[i]))) return true;
  return false;
}

}  // namespace

size_t LastComponentStart(std::wstring_view path) { return lastComponentStart(path); }

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
  return lastComponentIsRefused(windowsPath);
}

bool AsciiLastComponentIsRefused(std::string_view windowsPath) {
  return lastComponentIsRefused(windowsPath);
}

}  // namespace host
