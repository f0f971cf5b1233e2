#include <dlfcn.h>
#include <unistd.h>

#include "standin/files/system.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace host {

const char* const kSharedLibrarySuffix = ".so";
const bool kLocalPathsHaveDrives = false;

std::string ExecutablePath() {
  std::vector<char> target(4096);
  const ssize_t size = readlink("/proc/self/exe", target.data(), target.size() - 1);
  return size > 0 ? std::string(target.data(), static_cast<size_t>(size)) : std::string();
}

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

std::string EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string WorkingFolder() {
  std::vector<char> folder(4096);
  while (!::getcwd(folder.data(), folder.size())) {
    if (errno != ERANGE || folder.size() > (1u << 20)) return "/";
    folder.resize(folder.size() * 2);
  }
  return folder.data();
}

long CurrentProcessId() { return static_cast<long>(::getpid()); }

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace host
