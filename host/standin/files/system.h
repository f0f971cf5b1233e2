// The few calls of the operating system that the stand-in makes outside its file system:
// loading the application's library, the process's id, and whether a stream is a terminal.
// One implementation per platform (system_posix.cpp, system_win32.cpp).
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <string>

namespace host {

// Loads the shared library at localPath for the rest of the process and finds the function
// named entry in it. Null, with the system's reason in *why, when either fails; *why is empty
// when the library loaded but has no such function.
void* LoadLibraryEntry(const std::string& localPath, const char* entry, std::string* why);

// The file name that shared libraries end with here (".so", ".dll").
extern const char* const kSharedLibrarySuffix;

// Whether local paths are themselves Windows paths with drives ("C:/Users/ann/Site.dgn"),
// as on Windows, rather than POSIX paths.
extern const bool kLocalPathsHaveDrives;

// The local path of the running executable; empty when the system doesn't tell.
std::string ExecutablePath();

// The value of an environment variable, as UTF-8 on Windows and as its bytes elsewhere;
// empty when it is unset.
std::string EnvironmentVariable(const char* name);

// The working folder as a local path ("/" between components); "/" when it can't be told.
std::string WorkingFolder();

// This process's id.
long CurrentProcessId();

// Whether standard input, or standard error, is a terminal (a console on Windows).
bool StandardInputIsTerminal();
bool StandardErrorIsTerminal();

}  // namespace host
