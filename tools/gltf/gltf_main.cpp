// tolvane-gltf FOLDER OUT.glb
//
// Turns an export's main output folder (one sub-folder of records per element) into one
// glTF 2.0 binary. A record that can't be read, or can't become valid glTF, is named on
// standard error with its place and left out; the exit status says so.
#include <cstring>
#include <iostream>

#include "tools/gltf/gltf_writer.h"
#include "tools/path_text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "standin/files/win32_text.h"
#endif

namespace {

const char kHelp[] =
    "usage: tolvane-gltf FOLDER OUT.glb\n"
    "Turns an export's main output folder into one glTF 2.0 binary.\n"
    "Records are read as regular files only (a pipe or a device is refused, not waited on).\n"
    "Exit status:\n"
    "  0  every record written\n"
    "  1  wrong arguments\n"
    "  2  the folder can't be listed or holds no usable record; nothing is written\n"
    "  3  the output can't be written; nothing half-written is left, and a file already at\n"
    "     OUT.glb stays as it was\n"
    "  4  written, but a record was left out or only partly taken: one that can't be read\n"
    "     (missing, a pipe or device, too large, not JSON) or can't become valid glTF (a\n"
    "     number not finite, a coordinate beyond a float's range, an index naming no point);\n"
    "     each is named on standard error with its file and place\n";

int run(int argc, const char* const* argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::cout << kHelp;
    return 0;
  }
  if (argc != 3) {
    std::cerr << "usage: tolvane-gltf FOLDER OUT.glb\n";
    return 1;
  }
  std::cerr << std::unitbuf;
  return gltf::convertExport(tools::TextPath(argv[1]), tools::TextPath(argv[2]), std::cerr);
}

}  // namespace

#ifdef _WIN32
// Windows gives the arguments as wide text; they are taken as UTF-8, as on Linux, and the
// standard streams carry bytes unchanged (no CR before LF), so that a script reads the same.
int wmain(int argc, wchar_t* wideArgv[]) {
  for (FILE* stream : {stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(host::WideToUtf8(wideArgv[i]));
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  return run(argc, argv.data());
}
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif
