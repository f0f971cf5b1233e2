// RunProcess on POSIX systems: posix_spawn, with the child's three streams on pipes.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "testing/test_support.h"

extern char** environ;

namespace test_support {
namespace {

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() {
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() { closeFd(fds[0]); }
  void CloseWrite() { closeFd(fds[1]); }
  static void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
};

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& additions) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    std::string name = text.substr(0, text.find('='));
    if (!additions.count(name)) entries.push_back(text);
  }
  for (const auto& [name, value] : additions) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Feeds input to the child and collects both of its outputs without blocking on any one.
void exchange(Pipe& in, Pipe& out, Pipe& err, const std::string& input, ProcessResult* result) {
  size_t written = 0;
  if (input.empty()) in.CloseWrite();
  while (out.fds[0] >= 0 || err.fds[0] >= 0) {
    pollfd polls[3] = {{out.fds[0], POLLIN, 0}, {err.fds[0], POLLIN, 0}, {in.fds[1], POLLOUT, 0}};
    if (poll(polls, 3, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    Pipe* readers[2] = {&out, &err};
    std::string* sinks[2] = {&result->out, &result->err};
    for (int i = 0; i < 2; ++i) {
      if (!(polls[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      ssize_t n = read(readers[i]->fds[0], buffer, sizeof buffer);
      if (n > 0)
        sinks[i]->append(buffer, static_cast<size_t>(n));
      else if (n == 0 || errno != EINTR)
        readers[i]->CloseRead();
    }
    if (polls[2].revents & (POLLOUT | POLLERR | POLLHUP)) {
      ssize_t n = write(in.fds[1], input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == input.size()) in.CloseWrite();
    }
  }
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& input) {
  // A child that stops reading its input must not end this process.
  signal(SIGPIPE, SIG_IGN);
  Pipe in, out, err;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.fds[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out.fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.fds[1], STDERR_FILENO);

  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = environmentWith(env);
  std::vector<char*> argvPointers = pointersTo(argv);
  std::vector<char*> envPointers = pointersTo(envp);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPointers.data(),
                            envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("can't start " + program + ": " + strerror(spawned));
  in.CloseRead();
  out.CloseWrite();
  err.CloseWrite();

  ProcessResult result;
  exchange(in, out, err, input, &result);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  return result;
}

}  // namespace test_support
