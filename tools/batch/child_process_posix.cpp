#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tools/batch/child_process.h"

extern char** environ;

namespace batch {
namespace {

// Closes a descriptor on every path.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

// The actions of a spawn, destroyed on every path.
class FileActions {
 public:
  FileActions() { posix_spawn_file_actions_init(&m_actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  posix_spawn_file_actions_t* get() { return &m_actions; }

 private:
  posix_spawn_file_actions_t m_actions;
};

class PosixChild : public ChildProcess {
 public:
  explicit PosixChild(pid_t pid) : m_pid(pid) {}
  ~PosixChild() override {
    if (!m_waited) Wait();
  }

  ChildExit Wait() override {
    m_waited = true;
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0) {
      if (errno != EINTR) return {true, 0};
    }
    if (WIFSIGNALED(status)) return {true, WTERMSIG(status)};
    return {false, WEXITSTATUS(status)};
  }

 private:
  pid_t m_pid;
  bool m_waited = false;
};

// Opened close-on-exec, so that a child started by another thread meanwhile doesn't inherit
// it; the spawn's dup2 gives the child its own copy without the flag.
int openOutput(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

}  // namespace

std::unique_ptr<ChildProcess> StartChild(const ChildCommand& command, std::string* error) {
  if (command.argv.empty()) {
    *error = "no program given";
    return nullptr;
  }
  Descriptor out(command.stdoutFile.empty() ? -1 : openOutput(command.stdoutFile));
  if (!command.stdoutFile.empty() && out.get() < 0) {
    *error = command.stdoutFile + ": " + std::strerror(errno);
    return nullptr;
  }
  Descriptor err(command.stderrFile.empty() ? -1 : openOutput(command.stderrFile));
  if (!command.stderrFile.empty() && err.get() < 0) {
    *error = command.stderrFile + ": " + std::strerror(errno);
    return nullptr;
  }
  FileActions actions;
  posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  if (out.get() >= 0) {
    posix_spawn_file_actions_adddup2(actions.get(), out.get(), 1);
    posix_spawn_file_actions_adddup2(actions.get(), err.get() >= 0 ? err.get() : out.get(), 2);
  } else if (err.get() >= 0) {
    posix_spawn_file_actions_adddup2(actions.get(), err.get(), 2);
  }
  if (!command.workingDir.empty())
    posix_spawn_file_actions_addchdir_np(actions.get(), command.workingDir.c_str());

  std::vector<char*> argv;
  for (const std::string& arg : command.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int failed = posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(), environ);
  if (failed != 0) {
    *error = command.argv[0] + ": can't be started: " + std::strerror(failed);
    return nullptr;
  }
  return std::make_unique<PosixChild>(pid);
}

const char kProgramSuffix[] = "";

std::string SelfExecutablePath() {
  std::error_code ignored;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return self.string();
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

bool StderrIsTerminal() { return isatty(2) == 1; }

}  // namespace batch
