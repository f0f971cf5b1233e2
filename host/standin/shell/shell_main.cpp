// The stand-in host's shell program; see host/shell.h.
#include <iostream>

#include "standin/files/system.h"
#include "standin/shell/shell.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "standin/files/win32_text.h"

// Windows gives the arguments as wide text: they reach the shell as UTF-8, as local paths and
// key-ins are, so that a design named in any script opens. The standard streams carry bytes
// as they are (no CR added before LF), so that a script reads what it reads on Linux: UTF-8
// lines ending in LF, whatever the console's code page.
int wmain(int argc, wchar_t* wideArgv[]) {
  for (FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
  host::SetUpShellLocale();
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(host::WideToUtf8(wideArgv[i]));
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  return host::RunShell(argc, argv.data(), std::cin, std::cout, std::cerr,
                        host::StandardInputIsTerminal());
}
#else
int main(int argc, char* argv[]) {
  host::SetUpShellLocale();
  return host::RunShell(argc, argv, std::cin, std::cout, std::cerr,
                        host::StandardInputIsTerminal());
}
#endif
