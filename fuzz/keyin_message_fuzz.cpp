// Fuzz target. The shell's key-in table parser and matcher, against a plain model of the rule, and
// the application's message formatter. Any input that fails the check aborts with what went wrong.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/keyin_message_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string problem = keyin_check::keyinMessageProblem(input);
  if (!problem.empty()) {
    std::fprintf(stderr, "keyin_message: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
