// The stand-in host's shell program; see host/shell.h.
#include <unistd.h>

#include <iostream>

#include "standin/shell/shell.h"

int main(int argc, char* argv[]) {
  host::SetUpShellLocale();
  return host::RunShell(argc, argv, std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) != 0);
}
