#include "standin/shell/shell.h"
#include "standin/design/inside_access.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "host/wstring.h"
#include "standin/design/design_loader.h"
#include "standin/design/design_writer.h"
#include "standin/files/paths.h"
#include "standin/files/system.h"
#include "standin/shell/keyin_table.h"
#include "standin/shell/session.h"
#include "standin/shell/status_service.h"

namespace host {
namespace {

constexpr const char* kShellName = "tolvane-host";
constexpr const char* kUsage =
    "usage: tolvane-host [--app LIBRARY] [--drive-c DIR] [--save] DESIGN [KEYIN ...]\n"
    "  --app LIBRARY   the application library to load (default: tolvane.so beside the shell)\n"
    "  --drive-c DIR   the local folder of drive C: (default: $TOLVANE_DRIVE_C, else\n"
    "                  $HOME/.tolvane/drive_c)\n"
    "  --save          write the design back when the commands changed its active model\n"
    "Without KEYINs, key-ins are read from standard input, one a line, until 'exit'.\n";

using MdlMainFunction = void (*)(int argc, WCharCP argv[]);

struct ShellOptions {
  std::string app;
  std::string driveC;
  bool save = false;
  bool help = false;
  std::string design;
  std::vector<std::string> keyins;
};

// Takes the value of an option given as "--name VALUE" or "--name=VALUE".
bool takeOptionValue(const std::string& argument, const std::string& name, int argc,
                     const char* const argv[], int* at, std::string* value, std::string* error) {
  if (argument.compare(0, name.size() + 1, name + "=") == 0) {
    *value = argument.substr(name.size() + 1);
  } else if (*at + 1 < argc) {
    *value = argv[++*at];
  } else {
    *error = name + " needs a value";
    return false;
  }
  if (value->empty()) *error = name + " needs a value";
  return !value->empty();
}

bool isOption(const std::string& argument, const std::string& name) {
  return argument == name || argument.compare(0, name.size() + 1, name + "=") == 0;
}

// Options come before DESIGN; everything after DESIGN is a key-in.
bool parseArguments(int argc, const char* const argv[], ShellOptions* options, std::string* error) {
  int at = 1;
  for (; at < argc; ++at) {
    std::string argument = argv[at];
    if (argument == "--") {
      ++at;
      break;
    }
    if (argument.size() < 2 || argument[0] != '-') break;
    if (argument == "--help" || argument == "-h") {
      options->help = true;
      return true;
    }
    if (isOption(argument, "--app")) {
      if (!takeOptionValue(argument, "--app", argc, argv, &at, &options->app, error)) return false;
    } else if (isOption(argument, "--drive-c")) {
      if (!takeOptionValue(argument, "--drive-c", argc, argv, &at, &options->driveC, error))
        return false;
    } else if (argument == "--save") {
      options->save = true;
    } else {
      *error = "unknown option " + argument;
      return false;
    }
  }
  if (at >= argc) {
    *error = "no design file given";
    return false;
  }
  options->design = argv[at++];
  options->keyins.assign(argv + at, argv + argc);
  return true;
}

std::string baseName(const std::string& path) { return LocalNameOf(path); }

std::string folderOf(const std::string& path) { return LocalFolderOf(path); }

// The application built beside the shell executable.
std::string defaultApplication() {
  const std::string executable = ExecutablePath();
  const std::string name = std::string("tolvane") + kSharedLibrarySuffix;
  return executable.empty() ? name : folderOf(executable) + "/" + name;
}

// A design given in Windows form (C:\..., Z:\...) is found through the drive mapping, where
// local paths have no drives; where they have (on Windows), a design is always a local path.
std::string designLocalPath(const std::string& design) {
  if (kLocalPathsHaveDrives) {  // local paths keep "/" between components
    std::string local = design;
    std::replace(local.begin(), local.end(), '\\', '/');
    return local;
  }
  bool windowsForm = !kLocalPathsHaveDrives && design.size() >= 2 && design[1] == ':' &&
                     std::isalpha(static_cast<unsigned char>(design[0]));
  std::string local;
  WString wide;
  if (windowsForm &&
      ToLocalPath(BeStringUtilities::CurrentLocaleCharToWChar(wide, design.c_str()), &local))
    return local;
  return design;
}

bool openDesign(const std::string& design, std::ostream& err) {
  std::string localPath = designLocalPath(design);
  std::string error;
  std::unique_ptr<DesignFile> file;
  try {
    file = LoadDesignFile(localPath, &error);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!file) {
    if (error.find(baseName(localPath)) == std::string::npos) error = design + ": " + error;
    err << kShellName << ": can't open the design: " << error << std::endl;
    return false;
  }
  Session::Current().Open(std::move(file));
  return true;
}

// Loads the library and finds its entry point; null (with the reason on err) when either
// fails. The library stays loaded for the rest of the process, as in the real host: the
// session holds its command handlers.
MdlMainFunction loadApplication(const std::string& library, std::ostream& err) {
  std::string path = library.find('/') == std::string::npos ? "./" + library : library;
  std::string why;
  void* entry = LoadLibraryEntry(path, "MdlMain", &why);
  if (!entry) {
    err << kShellName << ": can't load the application " << path << ": "
        << (why.empty() ? "it exports no entry point MdlMain" : why) << std::endl;
    return nullptr;
  }
  Session::Current().SetLoadingApplication(path);
  return reinterpret_cast<MdlMainFunction>(entry);
}

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool isExit(const std::string& keyin) {
  std::string word = trimmed(keyin);
  std::transform(word.begin(), word.end(), word.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return word == "exit";
}

std::string hexNumber(uint64_t number) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(number));
  return text;
}

// Reports a command that threw. Its progress line, if one is left standing, is finished
// first, so that the report starts on a row of its own.
int commandFailed(const std::string& keyin, const char* why, std::ostream& err) {
  AbandonRunningTask();
  err << kShellName << ": the command \"" << keyin << "\" failed";
  if (why)
    err << ": " << why;
  else
    err << " with an unknown error";
  err << std::endl;
  return kShellCommandFailed;
}

// Runs one key-in; returns its ShellStatus. A task the command began ends with it.
int runKeyin(const std::string& keyin, std::ostream& err) {
  Session& session = Session::Current();
  auto match = MatchKeyin(session.KeyinTable(), keyin);
  CmdHandler handler = match ? session.FindCommand(match->number) : nullptr;
  if (!match || !handler) {
    err << kShellName << ": the key-in \"" << keyin << "\" matches no command";
    if (match) err << " (its number " << hexNumber(match->number) << " has no handler)";
    err << std::endl;
    return kShellUnknownKeyin;
  }
  WString argument;
  BeStringUtilities::CurrentLocaleCharToWChar(argument, match->argument.c_str());
  try {
    handler(argument.c_str());
  } catch (const std::exception& e) {
    return commandFailed(keyin, e.what(), err);
  } catch (...) {
    return commandFailed(keyin, nullptr, err);
  }
  AbandonRunningTask();
  return kShellOk;
}

int runKeyins(const ShellOptions& options, std::istream& in, std::ostream& err, bool prompt) {
  int status = kShellOk;
  auto run = [&](const std::string& line) {
    std::string keyin = trimmed(line);
    if (!keyin.empty()) status = std::max(status, runKeyin(keyin, err));
  };
  if (!options.keyins.empty()) {
    for (const auto& keyin : options.keyins) {
      if (isExit(keyin)) break;
      run(keyin);
    }
    return status;
  }
  std::string line;
  while (true) {
    if (prompt) err << "tolvane> " << std::flush;
    if (!std::getline(in, line) || isExit(line)) break;
    run(line);
  }
  return status;
}

// Writes the active design back to its own file when its active model changed.
int saveIfChanged(std::ostream& err) {
  Session& session = Session::Current();
  DesignFile* design = session.ActiveDesign();
  DgnModel* model = session.ActiveDgnModel();
  if (!design || !model || !host::Inside::ModelOf(*model).changed) return kShellOk;
  std::string error;
  if (!SaveDesignFile(*design, design->localPath, &error)) {
    err << kShellName << ": can't save the design: " << error << std::endl;
    return kShellSaveFailed;
  }
  err << kShellName << ": saved " << design->localPath << std::endl;
  return kShellOk;
}

// Routes the session's messages and notes to the shell's streams while it runs.
class SessionStreams {
 public:
  SessionStreams(std::ostream& out, std::ostream& err) {
    Session::Current().SetMessageSink([&out](const std::string& text) {
      out << text << '\n' << std::flush;
    });
    Session::Current().SetNoteSink(
        [&err](const std::string& text) { err << kShellName << ": " << text << std::endl; });
  }
  ~SessionStreams() {
    Session::Current().Close();
    Session::Current().SetMessageSink(nullptr);
    Session::Current().SetNoteSink(nullptr);
  }
  SessionStreams(const SessionStreams&) = delete;
  SessionStreams& operator=(const SessionStreams&) = delete;
};

}  // namespace

void SetUpShellLocale() {
  const char* chosen = std::setlocale(LC_CTYPE, "");
  if (!chosen || std::strcmp(chosen, "C") == 0 || std::strcmp(chosen, "POSIX") == 0)
    std::setlocale(LC_CTYPE, "C.UTF-8");
  std::setlocale(LC_NUMERIC, "C");
}

int RunShell(int argc, const char* const argv[], std::istream& in, std::ostream& out,
             std::ostream& err, bool prompt) {
  ShellOptions options;
  std::string error;
  if (!parseArguments(argc, argv, &options, &error)) {
    err << kShellName << ": " << error << '\n' << kUsage << std::flush;
    return kShellNotLoadable;
  }
  if (options.help) {
    out << kUsage << std::flush;
    return kShellOk;
  }
  SetDriveCFolder(options.driveC);
  SessionStreams streams(out, err);
  if (!openDesign(options.design, err)) return kShellNotLoadable;
  MdlMainFunction mdlMain =
      loadApplication(options.app.empty() ? defaultApplication() : options.app, err);
  if (!mdlMain) return kShellNotLoadable;
  err << kShellName << ": drive C: is the local folder " << DriveCFolder() << std::endl;

  WCharCP noArguments[] = {nullptr};
  mdlMain(0, noArguments);
  int status = runKeyins(options, in, err, prompt);
  if (options.save) status = std::max(status, saveIfChanged(err));
  return status;
}

}  // namespace host
