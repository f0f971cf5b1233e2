// The batch tool's one platform seam: starting a program as a child process and waiting for
// it, plus the two facts about its own process that it needs. Every other file of the tool is
// plain C++ and std::filesystem; a port adds one implementation file of this header.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace batch {

// How a child process ended.
struct ChildExit {
  bool killed = false;  // ended by a signal (or, on Windows, terminated) instead of exiting
  int code = 0;         // the exit status, or the signal's number when killed
};

struct ChildCommand {
  std::vector<std::string> argv;  // argv[0] is the program's path; it is not looked up in PATH
  std::string workingDir;         // empty: this process's working folder
  std::string stdoutFile;         // created or truncated; empty: this process's standard output
  std::string stderrFile;         // empty: the same file as stdoutFile (or this process's own
                                  // standard error when stdoutFile is empty too)
};

// A started child process. Destroying one that has not been waited for waits for it, so that
// no child is left unreaped; the destructor never kills it.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // Blocks until the child ends. Call at most once. Safe to call from any thread, and from
  // several threads for different children at once.
  virtual ChildExit Wait() = 0;
};

// Starts command.argv[0] with the arguments, standard input from the null device and the
// outputs as command says; the child inherits the environment. Returns null, with *error
// saying why, when an output file can't be opened or the program can't be started (a missing
// or non-executable program is reported here, not as an exit status). May be called from
// several threads at once: no file this process opens leaks into another's child.
std::unique_ptr<ChildProcess> StartChild(const ChildCommand& command, std::string* error);

// The ending of a program's file name: ".exe" on Windows, empty elsewhere.
extern const char kProgramSuffix[];

// The full path of this process's executable, or empty when it can't be found.
std::string SelfExecutablePath();

// The full path of the program name as found in the folders of PATH, or empty when none
// holds it.
std::string FindProgram(const std::string& name);

// True when standard error is a terminal, where progress lines are drawn.
bool StderrIsTerminal();

}  // namespace batch
