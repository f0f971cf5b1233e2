#include <io.h>
#include <windows.h>

#include <cstdio>

#include "standin/files/system.h"
#include "standin/files/win32_text.h"

namespace host {

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

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace host
