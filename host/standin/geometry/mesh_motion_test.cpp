#include "standin/geometry/mesh_motion.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "standin/geometry/vector_math.h"

namespace {

using Limits = std::numeric_limits<double>;

// Values where the identity's sums could differ from the value itself: both zeros, subnormals,
// the extremes, infinities and NaNs with and without payloads and signs.
const std::vector<double>& SpecialValues() {
  static const std::vector<double> values = {
      0.0,
      -0.0,
      Limits::denorm_min(),
      -Limits::denorm_min(),
      3 * Limits::denorm_min(),
      -Limits::min() / 2,
      Limits::min(),
      -Limits::min(),
      1.0,
      -1.0,
      0.5,
      1e300,
      -1e-300,
      Limits::max(),
      -Limits::max(),
      Limits::infinity(),
      -Limits::infinity(),
      Limits::quiet_NaN(),
      -Limits::quiet_NaN(),
      Limits::signaling_NaN(),
      std::bit_cast<double>(uint64_t{0x7ff8'0000'dead'beef}),
      std::bit_cast<double>(uint64_t{0xfff0'0000'0000'0001})};
  return values;
}

// A special value, or a double of random bits (any sign and exponent, NaNs included), or,
// when finiteOnly, a finite one of either.
double RandomValue(std::mt19937_64& random, bool finiteOnly) {
  for (;;) {
    const double value = random() % 2 == 0 ? SpecialValues()[random() % SpecialValues().size()]
                                           : std::bit_cast<double>(static_cast<uint64_t>(random()));
    if (!finiteOnly || std::isfinite(value)) return value;
  }
}

template <typename T>
bool SameBits(const bvector<T>& a, const bvector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// The identity's short path against the full matrix sums, bit for bit. Lengths 0 to 8 cover
// the runs of doubles that are read two at a time and their odd tails; a mesh either has only
// finite coordinates (the short path) or may hold non-finite ones (the general path then).
TEST(MeshMotion, IdentityGivesTheMatrixPathsBitsForAnyValues) {
  std::mt19937_64 random(11);
  const Transform identity;
  for (int trial = 0; trial < 4000; ++trial) {
    SCOPED_TRACE(trial);
    const bool finiteOnly = trial % 2 == 0;
    bvector<DPoint3d> points(static_cast<size_t>(trial % 9));
    bvector<DVec3d> normals(static_cast<size_t>(trial / 9 % 9));
    for (DPoint3d& p : points)
      p = {RandomValue(random, finiteOnly), RandomValue(random, finiteOnly),
           RandomValue(random, finiteOnly)};
    for (DVec3d& n : normals)
      n = {RandomValue(random, finiteOnly), RandomValue(random, finiteOnly),
           RandomValue(random, finiteOnly)};
    bvector<DPoint3d> matrixPoints = points, identityPoints = points;
    bvector<DVec3d> matrixNormals = normals, identityNormals = normals;
    host::MoveMeshByMatrix(identity, matrixPoints, matrixNormals);
    host::MoveMeshByIdentity(identityPoints, identityNormals);
    ASSERT_TRUE(SameBits(identityPoints, matrixPoints));
    ASSERT_TRUE(SameBits(identityNormals, matrixNormals));
  }
}

// Every combination of signed zeros and non-zero components of either sign, where the signs
// of zero results depend on all three components.
TEST(MeshMotion, IdentityKeepsTheSignsOfZeroComponentsAsTheMatrixPathDoes) {
  const double choices[] = {0.0, -0.0, 2.0, -2.0, Limits::denorm_min(), -Limits::denorm_min()};
  bvector<DPoint3d> points;
  for (double x : choices)
    for (double y : choices)
      for (double z : choices) points.push_back({x, y, z});
  bvector<DVec3d> normals = points;
  bvector<DPoint3d> matrixPoints = points;
  bvector<DVec3d> matrixNormals = normals;
  host::MoveMeshByMatrix(Transform(), matrixPoints, matrixNormals);
  host::MoveMeshByIdentity(points, normals);
  for (size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(std::memcmp(&points[i], &matrixPoints[i], sizeof(DPoint3d)), 0);
    EXPECT_EQ(std::memcmp(&normals[i], &matrixNormals[i], sizeof(DVec3d)), 0);
  }
}

// Bit for bit, except that any NaN matches any NaN: which NaN a product passes on is the
// compiler's choice of operand order, and the one-by-one code of each side is compiled apart.
bool SameBitsOrBothNaN(const DVec3d& a, const DVec3d& b) {
  const double as[3] = {a.x, a.y, a.z}, bs[3] = {b.x, b.y, b.z};
  for (int i = 0; i < 3; ++i) {
    if (std::isnan(as[i]) && std::isnan(bs[i])) continue;
    if (std::bit_cast<uint64_t>(as[i]) != std::bit_cast<uint64_t>(bs[i])) return false;
  }
  return true;
}

// Normals made unit two at a time against one by one: lengths 0 to 8 cover the pairs and the
// odd tail, and the values pairs where one or both lanes are zero, subnormal, huge or NaN.
TEST(MeshMotion, UnitNormalsTwoAtATimeHaveTheBitsOfOneByOne) {
  std::mt19937_64 random(5);
  for (int trial = 0; trial < 4000; ++trial) {
    SCOPED_TRACE(trial);
    bvector<DVec3d> normals(static_cast<size_t>(trial % 9));
    for (DVec3d& n : normals)
      n = {RandomValue(random, trial % 3 != 0), RandomValue(random, trial % 3 != 0),
           RandomValue(random, trial % 3 != 0)};
    bvector<DVec3d> expected = normals;
    for (DVec3d& n : expected) n = host::vector_math::Normalized(n);
    host::MakeUnitNormals(normals);
    for (size_t i = 0; i < normals.size(); ++i)
      ASSERT_TRUE(SameBitsOrBothNaN(normals[i], expected[i])) << i;
  }
}

TEST(MeshMotion, OnlyTheIdentityBitForBitIsExact) {
  struct Case {
    std::string name;
    int row, col;
    double value;
    bool exact;
  };
  const std::vector<Case> cases = {
      {"identity", 0, 0, 1.0, true},
      {"-0 translation", 1, 3, -0.0, false},
      {"-0 off the diagonal", 2, 0, -0.0, false},
      {"diagonal one ulp above 1", 1, 1, 1.0 + Limits::epsilon(), false},
      {"tiny translation", 0, 3, Limits::denorm_min(), false},
      {"NaN off the diagonal", 0, 1, Limits::quiet_NaN(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transform transform;
    transform.form3d[c.row][c.col] = c.value;
    EXPECT_EQ(host::IsExactIdentity(transform), c.exact);
  }
}

}  // namespace
