// Fuzz target. The import of one geometry record: one element added or a reason given, and a design
// saved afterwards that loads again. Any input that fails the check aborts with what went wrong.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/record_import_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string problem = import_check::importProblem(input);
  if (!problem.empty()) {
    std::fprintf(stderr, "record_import: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
