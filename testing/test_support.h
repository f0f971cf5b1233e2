// Helpers for tests that run the shell as a separate process or need a folder or locale of
// their own.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace test_support {

struct ProcessResult {
  int exitCode = -1;  // the exit status, or minus the signal that ended the process
  std::string out;    // standard output
  std::string err;    // standard error
};

// Runs program with args (argv[0] is the program), the environment of this process with
// the additions in env (which replace variables of the same name), and input on standard
// input; waits for it to end. Throws std::runtime_error when it can't be started.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {},
                         const std::string& input = "");

// Runs the built shell (tolvane-host) with args.
ProcessResult RunShell(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env = {},
                       const std::string& input = "");

// The built application library and the shell.
std::string ShellPath();
std::string AppPath();
// The source tree, for files such as samples/.
std::string SourceDir();

// Record files break lines with CR LF; expectations are written with LF and turned with this.
std::string WithCrLf(const std::string& text);

// The lines of text, without their line breaks; a last line without a break counts.
std::vector<std::string> Lines(const std::string& text);

// Makes a fresh folder "<stem>-<number>" under the system's temporary folder; returns its
// local path (UTF-8, "/" between components). Throws std::runtime_error when it can't.
std::string MakeTempFolder(const std::string& stem);

// A path of std::filesystem from UTF-8 text: a plain std::string would be read in the ANSI code
// page on Windows.
std::filesystem::path Utf8Path(const std::string& text);

// The names of the entries of a folder (none when it can't be listed).
std::set<std::string> FolderEntries(const std::string& folder);

// A fresh folder under the system's temporary folder, removed with its contents when the
// object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return m_path; }
  // Writes a file under the folder, making the folders on its way; the name is UTF-8 on every
  // platform. Returns its full path.
  std::string WriteFile(const std::string& name, const std::string& contents) const;

 private:
  std::string m_path;
};

// Sets an environment variable of this process for its lifetime (unsets it for a null value),
// then puts back what was there before.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string m_name;
  std::string m_previous;
  bool m_wasSet;
};

// Sets one locale category for its lifetime, then puts back the one before it.
class ScopedLocale {
 public:
  ScopedLocale(int category, const char* name);
  ~ScopedLocale();
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;
  bool ok() const { return m_ok; }

 private:
  int m_category;
  std::string m_previous;
  bool m_ok;
};

}  // namespace test_support
