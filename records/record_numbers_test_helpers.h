// What the tests of the records' reals share: the reals to check and the text each must
// have. Test code only.
#pragma once

#include <cfloat>
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

// Over a million reals: both zeros; values around every power of ten the writer meets; exact
// ties at the 17th digit (an integer of 13 or 14 digits and a sixteenth); the extremes (the
// largest, the smallest normal and the smallest subnormal, and their neighbours); random
// subnormals; integers around 2^53, where the spacing of doubles grows past 1; and random bit
// patterns and magnitudes.
inline std::vector<double> realsToCheck() {
  std::vector<double> values = {0.0, -0.0};
  const auto around = [&](double center, int steps) {
    double below = center, above = center;
    for (int i = 0; i < steps; ++i) {
      values.insert(values.end(), {below, -below});
      if (std::isfinite(above)) values.insert(values.end(), {above, -above});
      below = std::nextafter(below, 0.0);
      above = std::nextafter(above, INFINITY);
    }
  };
  for (int power = -7; power <= 17; ++power) around(std::pow(10.0, power), 40);
  for (double extreme : {DBL_MAX, DBL_MIN, DBL_TRUE_MIN}) around(extreme, 40);
  around(9007199254740992.0, 3000);  // 2^53
  std::mt19937_64 random(17);
  const auto fromBits = [](uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  };
  for (int i = 0; i < 20000; ++i) {
    const double whole = static_cast<double>(random() % 100000000000000ull);
    values.push_back(whole + static_cast<double>(random() % 16) / 16.0);
  }
  for (int i = 0; i < 100000; ++i) {
    // A random mantissa under a zero exponent, either sign; integers from 2^52 to 2^54.
    values.push_back(fromBits(random() & 0x800FFFFFFFFFFFFFull));
    values.push_back(static_cast<double>((uint64_t{1} << 52) + random() % (uint64_t{3} << 52)));
  }
  for (int i = 0; i < 270000; ++i) {
    const double magnitude = std::pow(10.0, std::uniform_real_distribution<double>(-8, 18)(random));
    values.push_back((i % 2 ? -1 : 1) * magnitude);
    const double any = fromBits(random());
    if (std::isfinite(any)) values.push_back(any);
    values.push_back(static_cast<double>(random() % 256) * 0.00392156862745098);
  }
  return values;
}

}  // namespace record_text_testing
