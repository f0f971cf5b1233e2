// The status service seen from outside: the shell runs the export and the import with its
// standard error on a pseudo-terminal, then on a pipe, and standard output on a pipe in both.
#include "standin/shell/status_service.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "standin/files/file_system.h"
#include "standin/shell/shell.h"
#include "testing/fault_file_system.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::TempFolder;

struct TerminalRun {
  int exitCode = -1;
  std::string out;       // standard output, a pipe
  std::string terminal;  // what standard error wrote on the pseudo-terminal
};

// Appends what fd has to text; false once it has nothing more (end of file, or EIO from a
// pseudo-terminal whose other side is closed).
bool Drain(int fd, std::string& text) {
  char buffer[4096];
  ssize_t n = read(fd, buffer, sizeof buffer);
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) return false;
  text.append(buffer, static_cast<size_t>(n));
  return true;
}

// Runs child in a new process with standard error on a new pseudo-terminal, standard output
// on a pipe and standard input on /dev/null; what child returns is the exit status.
TerminalRun RunOnTerminal(const std::function<int()>& child) {
  int master = -1, slave = -1, outPipe[2];
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || pipe(outPipe) != 0)
    throw std::runtime_error("no pseudo-terminal or pipe");
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(outPipe[1], 1);
    dup2(slave, 2);
    close(master);
    close(outPipe[0]);
    _exit(child());
  }
  close(slave);
  close(outPipe[1]);
  TerminalRun run;
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {master, POLLIN, 0}};
  std::string* texts[2] = {&run.out, &run.terminal};
  int openCount = 2;
  while (openCount > 0 && poll(fds, 2, 30000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      if (!Drain(fds[i].fd, *texts[i])) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --openCount;
      }
    }
  }
  for (pollfd& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  return run;
}

// Runs the built shell with args on a terminal as above.
TerminalRun RunShellOnTerminal(const std::vector<std::string>& args) {
  std::string shell = test_support::ShellPath();
  std::vector<char*> argv{shell.data()};
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return RunOnTerminal([&] {
    execv(shell.c_str(), argv.data());
    return 127;
  });
}

// Runs the shell's own code with args on a terminal as above, in a process of its own that
// has the file system installed.
TerminalRun RunShellCodeOnTerminal(std::vector<std::string> args, host::FileSystem& files) {
  args.insert(args.begin(), {"tolvane-host", "--app", test_support::AppPath()});
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return RunOnTerminal([&] {
    host::ScopedFileSystem installed(files);
    std::istringstream in;
    int status =
        host::RunShell(static_cast<int>(argv.size()), argv.data(), in, std::cout, std::cerr, false);
    std::cout.flush();
    return status;
  });
}

int64_t FolderCount(const std::string& path) {
  int64_t count = 0;
  for (const auto& entry : fs::directory_iterator(path)) count += entry.is_directory() ? 1 : 0;
  return count;
}

// Whether pattern matches text from position at: '#' is a run of digits, '@' one too whose
// value goes to number, '*' any run of characters within the row (no '\r' or '\n'), and any
// other character itself. A tiny matcher rather than <regex>, in which GCC 12 raises false
// maybe-uninitialized warnings under the sanitizers' instrumentation.
bool MatchesAt(const std::string& text, size_t at, const char* pattern, int64_t& number) {
  if (*pattern == '\0') return true;
  if (*pattern == '*') {
    for (size_t end = at;; ++end) {
      if (MatchesAt(text, end, pattern + 1, number)) return true;
      if (end == text.size() || text[end] == '\r' || text[end] == '\n') return false;
    }
  }
  if (*pattern == '#' || *pattern == '@') {
    size_t end = at;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == at || end - at > 18) return false;
    if (*pattern == '@') number = std::stoll(text.substr(at, end - at));
    return MatchesAt(text, end, pattern + 1, number);
  }
  return at < text.size() && text[at] == *pattern && MatchesAt(text, at + 1, pattern + 1, number);
}

// The number at '@' of the first match of pattern in text; -1 when none matches.
int64_t FirstNumber(const std::string& text, const char* pattern) {
  int64_t number = -1;
  for (size_t at = 0; at < text.size(); ++at)
    if (MatchesAt(text, at, pattern, number)) return number;
  return -1;
}

class StatusServiceTest : public ::testing::Test {
 protected:
  TempFolder temp;
  std::string driveC = temp.Path() + "/c";
  std::string sample = test_support::SourceDir() + "/samples/Site.dgn";
};

// The matcher the checks below rest on: it finds the row it is given and nothing across rows.
TEST(StatusServiceMatcherTest, FindsTheMarkedNumberWithinOneRow) {
  const std::string rows =
      "\rExport: 12 of 340 elements, 0.0 s\x1b[K"
      "\rExport: 40 of 340 elements, 5568/s, 7.4 s\x1b[K\n";
  struct Case {
    const char* pattern;
    int64_t number;
  } cases[] = {
      {"Export: # of @ elements, *#.# s", 340},
      {"Export: @ of # elements, *#/s", 40},      // only the second row has a rate
      {"Export: @ of # elements, 0.0 s*/s", -1},  // but never crosses '\r'
      {"Export: @ elements", -1},                 // the text after '@' must follow
      {"of @", 340},                              // the first match is taken
      {"Import: # of @ elements", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstNumber(rows, c.pattern), c.number) << c.pattern;
}

TEST_F(StatusServiceTest, ExportShowsProgressAndSummaryOnATerminalOnly) {
  std::vector<std::string> args{"--drive-c", driveC, sample, "tolvane export"};
  TerminalRun onTerminal = RunShellOnTerminal(args);
  ASSERT_EQ(onTerminal.exitCode, 0) << onTerminal.terminal;
  const int64_t folders = FolderCount(driveC + "/Temp/Site");
  ASSERT_GT(folders, 0);

  const std::string& shown = onTerminal.terminal;
  int64_t total = FirstNumber(shown, "Export: # of @ elements, *#.# s");
  EXPECT_GE(total, folders) << shown;
  EXPECT_EQ(FirstNumber(shown, "Export: @ elements and # folders written in #.# s"), folders)
      << shown;
  EXPECT_EQ(FirstNumber(shown, "Export: # elements and @ folders written in"), folders) << shown;

  auto onPipe = test_support::RunShell(args);
  ASSERT_EQ(onPipe.exitCode, 0) << onPipe.err;
  EXPECT_EQ(onPipe.err.find("Export"), std::string::npos) << onPipe.err;
  EXPECT_EQ(onPipe.err.find('\x1b'), std::string::npos) << onPipe.err;
  EXPECT_EQ(onTerminal.out, onPipe.out) << "the message window is the same either way";
  EXPECT_EQ(test_support::Lines(onPipe.out), std::vector<std::string>{"Output to C:\\Temp\\Site"});
}

TEST_F(StatusServiceTest, ImportCountsRecordsOfAllSubFoldersAndWritesNoFolders) {
  ASSERT_EQ(test_support::RunShell({"--drive-c", driveC, sample, "tolvane export"}).exitCode, 0);
  const int64_t folders = FolderCount(driveC + "/Temp/Site");
  std::string target = temp.WriteFile(
      "empty.dgn", R"({ "models": [ { "name": "Default", "uorPerMeter": 2000 } ] })");
  std::vector<std::string> args{"--drive-c", driveC, target, "tolvane import C:\\Temp\\Site"};

  TerminalRun onTerminal = RunShellOnTerminal(args);
  ASSERT_EQ(onTerminal.exitCode, 0) << onTerminal.terminal;
  const std::string& shown = onTerminal.terminal;
  EXPECT_EQ(FirstNumber(shown, "Import: # of @ elements"), folders) << shown;
  EXPECT_EQ(FirstNumber(shown, "Import: @ elements and 0 folders written in"), folders) << shown;

  auto onPipe = test_support::RunShell(args);
  ASSERT_EQ(onPipe.exitCode, 0) << onPipe.err;
  EXPECT_EQ(onPipe.err.find("Import"), std::string::npos) << onPipe.err;
  EXPECT_EQ(onTerminal.out, onPipe.out);
  EXPECT_EQ(onPipe.out, "");
}

// A disk that fills up halfway: the summary counts only the elements whose three records
// are all on disk, and the rest as failed, never the folders left empty or cut short.
TEST_F(StatusServiceTest, TheExportSummaryCountsOnlyElementsWrittenWhole) {
  host::testing::FaultInjectingFileSystem files;
  files.DiskFullAfter(60000);
  TerminalRun run = RunShellCodeOnTerminal({"--drive-c", driveC, sample, "tolvane export"}, files);
  ASSERT_EQ(run.exitCode, 0) << run.terminal;
  int64_t whole = 0, folders = 0;
  for (const auto& entry : fs::directory_iterator(driveC + "/Temp/Site")) {
    if (!entry.is_directory()) continue;
    ++folders;
    whole += fs::exists(entry.path() / "geo.json") && fs::exists(entry.path() / "component.json") &&
             fs::exists(entry.path() / "attr.json");
  }
  ASSERT_GT(whole, 0);
  ASSERT_LT(whole, folders) << "the disk must fill up before the export ends";
  const std::string& shown = run.terminal;
  EXPECT_EQ(FirstNumber(shown, "Export: @ elements and # folders written in"), whole) << shown;
  EXPECT_EQ(FirstNumber(shown, "Export: # elements and @ folders written in"), whole) << shown;
  EXPECT_EQ(FirstNumber(shown, "written in #.# s; @ elements failed"), folders - whole) << shown;
}

// Throws, as a failing command might, when the nth file is made for writing.
class ThrowingFileSystem : public host::FileSystemWrapper {
 public:
  explicit ThrowingFileSystem(int nth) : FileSystemWrapper(host::LocalFileSystem()), m_left(nth) {}
  host::FileStatus NewWritableFile(const std::string& path,
                                   std::unique_ptr<host::WritableFile>* file) override {
    if (--m_left == 0) throw std::runtime_error("the disk went away");
    return FileSystemWrapper::NewWritableFile(path, file);
  }

 private:
  int m_left;
};

// The first export throws halfway; the second runs to its end.
TEST_F(StatusServiceTest, ACommandThatThrowsFinishesItsProgressLineBeforeTheError) {
  ThrowingFileSystem files(10);
  TerminalRun run = RunShellCodeOnTerminal(
      {"--drive-c", driveC, sample, "tolvane export", "tolvane export"}, files);
  const std::string& shown = run.terminal;
  EXPECT_EQ(run.exitCode, host::kShellCommandFailed) << shown;
  const size_t error =
      shown.find("tolvane-host: the command \"tolvane export\" failed: the disk went away\r\n");
  ASSERT_NE(error, std::string::npos) << shown;
  ASSERT_GT(FirstNumber(shown.substr(0, error), "\rExport: @ of # elements"), 0)
      << "a progress line stands when the command throws: " << shown;
  EXPECT_EQ(shown.compare(error - 5, 5, "\x1b[K\r\n"), 0)
      << "the progress line is finished, and the error starts a row of its own: " << shown;

  // Each export's first row, after the note before the first and the error before the second.
  const size_t first = shown.find("\r\n", shown.find("drive C: is the local folder")) + 2;
  const size_t second = error + shown.substr(error).find("\r\n") + 2;
  ASSERT_LT(first, error) << shown;
  EXPECT_EQ(shown.substr(second, 13), shown.substr(first, 13))
      << "the second export's progress begins as the first one's did: " << shown;
  EXPECT_EQ(shown.compare(second, 13, "\rExport: 1 of"), 0) << shown.substr(second);
  EXPECT_GT(FirstNumber(shown.substr(second), "Export: # elements and @ folders written in"), 0)
      << shown.substr(second);
}

}  // namespace
