// The shell that plays the CAD host:
//   tolvane-host [--app LIBRARY] [--drive-c DIR] [--save] DESIGN [KEYIN ...]
// It opens the design, loads the application library, calls its MdlMain once and runs
// key-ins, from the command line or one a line from standard input.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <iosfwd>

namespace host {

// Exit statuses of the shell. When several apply, the highest wins.
enum ShellStatus : int {
  kShellOk = 0,             // every key-in matched a command and ran to its end
  kShellUnknownKeyin = 1,   // a key-in matched no command (the others still ran)
  kShellNotLoadable = 2,    // usage error, or the design or application couldn't be loaded
  kShellCommandFailed = 3,  // a command raised an error (the others still ran)
  kShellSaveFailed = 4,     // --save couldn't write the design back
};

// Takes LC_CTYPE from the environment, using C.UTF-8 where that is C or POSIX (or names
// no locale that exists); LC_NUMERIC stays C. Called once at the start of the process.
void SetUpShellLocale();

// Runs the shell with its command line. Messages of the application go to out, one line
// each; the shell's notes and errors to err. Key-ins come from in when the command line
// gives none; prompt says whether to prompt for them (on err). Returns a ShellStatus.
int RunShell(int argc, const char* const argv[], std::istream& in, std::ostream& out,
             std::ostream& err, bool prompt);

}  // namespace host
