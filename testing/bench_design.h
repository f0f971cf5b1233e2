// Designs for the export benchmarks: written once by tolvane-gendesign into the temporary
// folder ($TMPDIR) and kept there, so that later runs load the same file without writing it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

// The path of the generated design of count elements, or "" when the generator failed.
inline std::string generatedDesign(int64_t count) {
  namespace fs = std::filesystem;
  std::string path =
      (fs::temp_directory_path() / ("tolvane-bench-" + std::to_string(count) + ".dgn")).string();
  if (!fs::exists(path)) {
    std::string command = std::string(TOLVANE_GENDESIGN) + " " + path + " " + std::to_string(count);
    if (std::system(command.c_str()) != 0) return std::string();
  }
  return path;
}

}  // namespace bench
