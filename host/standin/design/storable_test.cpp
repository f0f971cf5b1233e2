#include "standin/design/storable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Storable, NumbersUpTo1e15InSizeAreStorable) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    bool storable;
  };
  const Case cases[] = {{0, true},
                        {-0.0, true},
                        {1e15, true},
                        {-1e15, true},
                        {std::nextafter(1e15, 2e15), false},
                        {-1e18, false},
                        {inf, false},
                        {-inf, false},
                        {std::nan(""), false},
                        {std::numeric_limits<double>::denorm_min(), true}};
  for (const Case& c : cases) {
    EXPECT_EQ(host::IsStorableValue(c.value), c.storable) << c.value;
    EXPECT_EQ(host::IsStorablePoint({0, c.value, 0}), c.storable) << c.value;
  }
}

}  // namespace
