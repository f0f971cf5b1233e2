// Differential fuzz target: the fast geometry record reader against Json::Reader. Any text on
// which they judge differently, or read a different record, aborts with the difference.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/geo_reader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string difference = geo_check::differenceFromReader(text);
  if (!difference.empty()) {
    std::fprintf(stderr, "geo reader differs from Json::Reader: %s\n", difference.c_str());
    std::abort();
  }
  return 0;
}
