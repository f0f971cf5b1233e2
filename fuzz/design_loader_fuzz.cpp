// Fuzz target. The stand-in's design loader: one-pass reader against document reader, and written
// designs that load again as themselves. Any input that fails the check aborts with what went
// wrong.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/design_loader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string problem = design_check::designProblem(input);
  if (!problem.empty()) {
    std::fprintf(stderr, "design_loader: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
