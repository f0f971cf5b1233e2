// tolvane-gltf FOLDER OUT.glb
//
// Turns an export's main output folder (one sub-folder of records per element) into one
// glTF 2.0 binary. A record that can't be read is named on standard error and skipped.
#include <cstring>
#include <iostream>

#include "tools/gltf/gltf_writer.h"

namespace {

const char kHelp[] =
    "usage: tolvane-gltf FOLDER OUT.glb\n"
    "Turns an export's main output folder into one glTF 2.0 binary.\n"
    "Exit status: 0 every record written; 1 wrong arguments; 2 the folder can't be listed or\n"
    "holds no usable record (nothing written); 3 the output can't be written; 4 written, but a\n"
    "record that can't be read was skipped (named on standard error).\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::cout << kHelp;
    return 0;
  }
  if (argc != 3) {
    std::cerr << "usage: tolvane-gltf FOLDER OUT.glb\n";
    return 1;
  }
  std::cerr << std::unitbuf;
  return gltf::convertExport(argv[1], argv[2], std::cerr);
}
