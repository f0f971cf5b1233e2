// What the tests of the records' reals share: the reals to check and the text each must
// have. Test code only.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace record_text_testing {

// The number form by its definition: printf's "%.17g", then ".0" when there is neither a
// point nor an exponent.
inline std::string printfReal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  std::string out = text;
  if (out.find_first_of(".e") == std::string::npos) out += ".0";
  return out;
}

// Both zeros, values around every power of ten the writer meets, exact ties at the 17th digit (an
// integer of 13 or 14 digits and a sixteenth), and random bit patterns and magnitudes.
inline std::vector<double> realsToCheck() {
  std::vector<double> values = {0.0, -0.0};
  for (int power = -7; power <= 17; ++power) {
    const double ten = std::pow(10.0, power);
    double below = ten, above = ten;
    for (int i = 0; i < 40; ++i) {
      values.insert(values.end(), {below, above, -below});
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, 1e300);
    }
  }
  std::mt19937_64 random(17);
  for (int i = 0; i < 20000; ++i) {
    const double whole = static_cast<double>(random() % 100000000000000ull);
    values.push_back(whole + static_cast<double>(random() % 16) / 16.0);
  }
  for (int i = 0; i < 200000; ++i) {
    const double magnitude = std::pow(10.0, std::uniform_real_distribution<double>(-8, 18)(random));
    values.push_back((i % 2 ? -1 : 1) * magnitude);
    uint64_t bits = random();
    double any = 0;
    std::memcpy(&any, &bits, sizeof any);
    if (std::isfinite(any)) values.push_back(any);
    values.push_back(static_cast<double>(random() % 256) * 0.00392156862745098);
  }
  return values;
}

}  // namespace record_text_testing
