#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "standin/files/system.h"
#include "standin/files/win32_text.h"

#include <vector>

namespace host {

const char* const kSharedLibrarySuffix = ".dll";
const bool kLocalPathsHaveDrives = true;

std::string ExecutablePath() {
  std::vector<wchar_t> name(32768);
  const DWORD size = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
  if (size == 0 || size == name.size()) return std::string();
  std::string path = WideToUtf8(std::wstring_view(name.data(), size));
  if (path.starts_with("\\\\?\\")) path.erase(0, 4);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

void* LoadLibraryEntry(const std::string& localPath, const char* entry, std::string* why) {
  HMODULE module = LoadLibraryW(LongPath(localPath).c_str());
  if (!module) {
    *why = "Windows error " + std::to_string(GetLastError());
    return nullptr;
  }
  void* function = reinterpret_cast<void*>(GetProcAddress(module, entry));
  if (!function) why->clear();
  return function;
}

std::string EnvironmentVariable(const char* name) {
  const wchar_t* value = _wgetenv(Utf8ToWide(name).c_str());
  return value ? WideToUtf8(value) : "";
}

std::string WorkingFolder() {
  const DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::vector<wchar_t> folder(length + 1);
  if (length == 0 || GetCurrentDirectoryW(length + 1, folder.data()) == 0) return "/";
  std::string path = WideToUtf8(folder.data());
  if (path.starts_with("\\\\?\\")) path.erase(0, 4);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace host
