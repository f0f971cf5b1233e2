#include "records/record_numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

char* record_text::PutReal(char* at, double value) {
  if (!std::isfinite(value)) {
    const std::string_view text = value > 0 ? "1e+9999" : "-1e+9999";
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
  }
  // With a precision, std::to_chars writes as printf's "%.17g" does, whatever the locale.
  char* end = std::to_chars(at, at + kRealRoom, value, std::chars_format::general, 17).ptr;
  if (std::find_if(at, end, [](char c) { return c == '.' || c == 'e'; }) != end) return end;
  std::memcpy(end, ".0", 2);
  return end + 2;
}
