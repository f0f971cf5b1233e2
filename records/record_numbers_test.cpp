#include "records/record_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "records/record_numbers_test_helpers.h"

namespace {

using record_text_testing::printfReal;
using record_text_testing::realsToCheck;

// Against the C library's own "%.17g" on over a million reals, subnormals, extremes and
// integers near 2^53 among them. The text stays within the room it is given, whatever the
// scratch bytes held before.
TEST(RecordNumbersTest, WritesRealsAsPrintfWritesThem) {
  char text[record_text::kRealRoom + 1];
  const std::vector<double> values = realsToCheck();
  ASSERT_GE(values.size(), 1000000u);
  for (double value : values) {
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
