#include <dlfcn.h>
#include <unistd.h>

#include "standin/files/system.h"

namespace host {

void* LoadLibraryEntry(const std::string& localPath, const char* entry, std::string* why) {
  void* handle = dlopen(localPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    *why = reason ? reason : "unknown error";
    return nullptr;
  }
  dlerror();
  void* function = dlsym(handle, entry);
  if (!function) why->clear();
  return function;
}

long CurrentProcessId() { return static_cast<long>(::getpid()); }

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace host
