// tolvane-batch: exports many designs, each with tolvane-host in a process of its own, on this
// machine or through Slurm, and judges each design by its own completion record.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <thread>

#include "tools/batch/child_process.h"
#include "tools/batch/local_run.h"
#include "tools/batch/manifest.h"
#include "tools/batch/run_one.h"
#include "tools/batch/slurm.h"
#include "tools/batch/summary.h"
#include "tools/path_text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>
#endif

namespace {

namespace fs = std::filesystem;
using namespace batch;

const char kUsage[] =
    "usage: tolvane-batch plan LIST --out ROOT\n"
    "       tolvane-batch run-one --out ROOT [--index N] [--force] [--host PATH]\n"
    "       tolvane-batch summary --out ROOT [--watch]\n"
    "       tolvane-batch run LIST --out ROOT [--jobs N] [--force] [--host PATH]\n"
    "       tolvane-batch slurm LIST --out ROOT [--jobs N] [--force] [--host PATH]\n"
    "                           [--sbatch-option OPTION]...\n";

const char kHelp[] =
    "Exports every design of LIST (a text file, one design path a line) into ROOT, each into\n"
    "a folder of its own (ROOT/designs/NNNNNN, holding its drive C), and judges each design by\n"
    "its completion record (done.json, beside the output) alone.\n"
    "  plan      writes ROOT/manifest.jsonl; prints the indices of the designs not yet done\n"
    "  run-one   exports design N (default: $SLURM_ARRAY_TASK_ID); skips a done one unless\n"
    "            --force\n"
    "  summary   counts done, failed and missing designs; --watch shows progress until every\n"
    "            design has a record\n"
    "  run       plan, N local workers (default: the processor count), summary\n"
    "  slurm     plan, one sbatch job array (at most N tasks at once, default 32), summary;\n"
    "            ROOT must be on a file system that every node shares\n"
    "tolvane-host is --host, else $TOLVANE_HOST, else the one beside this program.\n"
    "Exit status: 0 every design done; 1 a design failed or is missing; 2 wrong arguments or\n"
    "no manifest; 3 sbatch or squeue failed.\n";

enum Status { kAllDone = 0, kNotAllDone = 1, kBadArguments = 2, kEngineFailed = 3 };

struct Arguments {
  std::string command;
  std::string list;
  std::string out;
  std::string host;
  int index = 0;
  int jobs = 0;
  bool force = false;
  bool watch = false;
  std::vector<std::string> sbatchOptions;
};

bool parseCount(const char* text, int* value) {
  char* end = nullptr;
  errno = 0;
  long number = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || number < 1 || number > 100000000) return false;
  *value = static_cast<int>(number);
  return true;
}

// Parses argv; false, with *error, on anything it doesn't know.
bool parseArguments(int argc, char** argv, Arguments* args, std::string* error) {
  if (argc < 2) {
    *error = "no command given";
    return false;
  }
  args->command = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "--out" || arg == "--index" || arg == "--jobs" ||
                            arg == "--host" || arg == "--sbatch-option";
    if (takesValue && i + 1 == argc) {
      *error = arg + " needs a value";
      return false;
    }
    if (arg == "--out") {
      args->out = argv[++i];
    } else if (arg == "--host") {
      args->host = argv[++i];
    } else if (arg == "--sbatch-option") {
      args->sbatchOptions.push_back(argv[++i]);
    } else if (arg == "--index" || arg == "--jobs") {
      if (!parseCount(argv[++i], arg == "--index" ? &args->index : &args->jobs)) {
        *error = arg + " needs a whole number from 1, not \"" + argv[i] + "\"";
        return false;
      }
    } else if (arg == "--force") {
      args->force = true;
    } else if (arg == "--watch") {
      args->watch = true;
    } else if (arg.rfind("--", 0) == 0 || !args->list.empty()) {
      *error = "unknown argument \"" + arg + "\"";
      return false;
    } else {
      args->list = arg;
    }
  }
  const bool takesList =
      args->command == "plan" || args->command == "run" || args->command == "slurm";
  if (args->out.empty()) {
    *error = "--out ROOT is needed";
    return false;
  }
  if (takesList != !args->list.empty()) {
    *error = takesList ? "a LIST is needed" : "unknown argument \"" + args->list + "\"";
    return false;
  }
  return true;
}

// The tolvane-host to run: --host, else $TOLVANE_HOST, else the one beside this program.
std::string hostProgram(const Arguments& args) {
  if (!args.host.empty()) return tools::PathText(fs::absolute(tools::TextPath(args.host)));
  if (const char* host = std::getenv("TOLVANE_HOST"); host && *host)
    return tools::PathText(fs::absolute(tools::TextPath(host)));
  return tools::PathText(tools::TextPath(SelfExecutablePath()).parent_path() /
                         (std::string("tolvane-host") + kProgramSuffix));
}

bool readManifest(const fs::path& root, std::vector<Entry>* entries) {
  std::string error;
  if (ReadManifest(root, entries, &error)) return true;
  std::cerr << "tolvane-batch: " << error << std::endl;
  return false;
}

// Plans LIST into the root; the notes of lines that name nothing go to standard error.
bool plan(const Arguments& args, std::vector<Entry>* entries) {
  std::ifstream list(tools::TextPath(args.list), std::ios::binary);
  if (!list) {
    std::cerr << "tolvane-batch: " << args.list << ": can't be read" << std::endl;
    return false;
  }
  std::vector<std::string> notes;
  // A relative path is taken from the list's folder, so a list means the same wherever it is
  // used from.
  *entries =
      PlanEntries(list, args.list, fs::absolute(tools::TextPath(args.list)).parent_path(), &notes);
  for (const std::string& note : notes) std::cerr << "tolvane-batch: " << note << "\n";
  std::string error;
  if (!WriteManifest(tools::TextPath(args.out), *entries, &error)) {
    std::cerr << "tolvane-batch: " << error << std::endl;
    return false;
  }
  std::cerr << "tolvane-batch: planned " << entries->size() << " designs into "
            << tools::PathText(tools::TextPath(args.out) / kManifestName) << std::endl;
  return true;
}

int summarize(const fs::path& root, const std::vector<Entry>& entries) {
  const Tally tally = TallyBatch(root, entries);
  PrintSummary(tally, std::cout);
  return tally.allDone() ? kAllDone : kNotAllDone;
}

int planCommand(const Arguments& args) {
  std::vector<Entry> entries;
  if (!plan(args, &entries)) return kBadArguments;
  for (int index : PendingIndices(tools::TextPath(args.out), entries)) std::cout << index << "\n";
  return kAllDone;
}

int runOneCommand(const Arguments& args) {
  int index = args.index;
  if (index == 0) {
    const char* task = std::getenv("SLURM_ARRAY_TASK_ID");
    if (!task || !parseCount(task, &index)) {
      std::cerr << "tolvane-batch: run-one needs --index N or SLURM_ARRAY_TASK_ID\n" << kUsage;
      return kRunOneUsage;
    }
  }
  std::vector<Entry> entries;
  if (!readManifest(tools::TextPath(args.out), &entries)) return kRunOneUsage;
  if (static_cast<size_t>(index) > entries.size()) {
    std::cerr << "tolvane-batch: no design " << index << " in the manifest (it has "
              << entries.size() << ")" << std::endl;
    return kRunOneUsage;
  }
  RunOneOptions options{tools::TextPath(args.out), hostProgram(args), args.force};
  return RunOne(options, entries[static_cast<size_t>(index - 1)], std::cout);
}

int summaryCommand(const Arguments& args) {
  std::vector<Entry> entries;
  if (!readManifest(tools::TextPath(args.out), &entries)) return kBadArguments;
  if (args.watch) {
    Tally tally = TallyBatch(tools::TextPath(args.out), entries);
    ProgressLine progress(std::cerr, StderrIsTerminal(), tally.total(), tally.done);
    const int start = tally.done;
    while (!tally.missing.empty()) {
      progress.Update(tally.done - start);
      std::this_thread::sleep_for(std::chrono::seconds(2));
      tally = TallyBatch(tools::TextPath(args.out), entries);
    }
    progress.Clear();
  }
  return summarize(tools::TextPath(args.out), entries);
}

int runCommand(const Arguments& args) {
  std::vector<Entry> entries;
  if (!plan(args, &entries)) return kBadArguments;
  LocalRunOptions options;
  options.root = fs::absolute(tools::TextPath(args.out));
  options.self = SelfExecutablePath();
  options.host = hostProgram(args);
  options.jobs = args.jobs > 0 ? args.jobs : static_cast<int>(std::thread::hardware_concurrency());
  options.force = args.force;
  std::vector<int> pending;
  if (args.force) {
    for (const Entry& entry : entries) pending.push_back(entry.index);
  } else {
    pending = PendingIndices(options.root, entries);
  }
  RunLocally(options, entries, pending, std::cerr, StderrIsTerminal());
  return summarize(options.root, entries);
}

int slurmCommand(const Arguments& args) {
  std::vector<Entry> entries;
  if (!plan(args, &entries)) return kBadArguments;
  SlurmOptions options;
  options.root = fs::absolute(tools::TextPath(args.out));
  options.self = SelfExecutablePath();
  options.host = hostProgram(args);
  if (args.jobs > 0) options.throttle = args.jobs;
  options.force = args.force;
  options.sbatchOptions = args.sbatchOptions;
  std::vector<int> pending;
  if (args.force) {
    for (const Entry& entry : entries) pending.push_back(entry.index);
  } else {
    pending = PendingIndices(options.root, entries);
  }
  if (!pending.empty()) {
    std::string error;
    if (!RunOnSlurm(options, entries, pending, std::cerr, StderrIsTerminal(), &error)) {
      std::cerr << "tolvane-batch: " << error << std::endl;
      summarize(options.root, entries);
      return kEngineFailed;
    }
  }
  return summarize(options.root, entries);
}

int run(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage << kHelp;
    return kAllDone;
  }
  Arguments args;
  std::string error;
  if (!parseArguments(argc, argv, &args, &error)) {
    std::cerr << "tolvane-batch: " << error << "\n" << kUsage;
    return kBadArguments;
  }
  if (args.command == "plan") return planCommand(args);
  if (args.command == "run-one") return runOneCommand(args);
  if (args.command == "summary") return summaryCommand(args);
  if (args.command == "run") return runCommand(args);
  if (args.command == "slurm") return slurmCommand(args);
  std::cerr << "tolvane-batch: unknown command \"" << args.command << "\"\n" << kUsage;
  return kBadArguments;
}

}  // namespace

#ifdef _WIN32
// Windows gives the arguments as wide text; they are taken as UTF-8, as on Linux, and the
// standard streams carry bytes unchanged (no CR before LF), so that a script reads the same.
int wmain(int argc, wchar_t* wideArgv[]) {
  for (FILE* stream : {stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wideArgv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wideArgv[i], -1, text.data(), size, nullptr, nullptr);
    text.resize(std::strlen(text.c_str()));
    arguments.push_back(std::move(text));
  }
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return run(argc, argv.data());
}
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif
