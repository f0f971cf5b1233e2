#include "records/record_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// The number form by its definition: printf's "%.17g", then ".0" when there is neither a
// point nor an exponent.
std::string printfReal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  std::string out = text;
  if (out.find_first_of(".e") == std::string::npos) out += ".0";
  return out;
}

// Both zeros, values around every power of ten the writer meets, exact ties at the 17th digit (an
// integer of 13 or 14 digits and a sixteenth), and random bit patterns and magnitudes.
std::vector<double> realsToCheck() {
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

// The text stays within the room it is given, whatever the scratch bytes held before.
TEST(RecordNumbersTest, WritesRealsAsPrintfWritesThem) {
  char text[record_text::kRealRoom + 1];
  for (double value : realsToCheck()) {
    std::memset(text, 'x', sizeof text);
    const char* end = record_text::PutReal(text, value);
    ASSERT_EQ(text[record_text::kRealRoom], 'x') << std::hexfloat << value;
    ASSERT_EQ(std::string(static_cast<const char*>(text), end), printfReal(value))
        << std::hexfloat << value;
  }
}

TEST(RecordNumbersTest, WritesNonFiniteRealsOutOfRange) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{INFINITY, "1e+9999"}, {-INFINITY, "-1e+9999"}};
  for (const auto& c : cases) {
    char text[record_text::kRealRoom];
    const char* end = record_text::PutReal(text, c.value);
    EXPECT_EQ(std::string(static_cast<const char*>(text), end), c.text);
  }
}

}  // namespace
