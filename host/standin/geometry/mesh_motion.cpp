#include "standin/geometry/mesh_motion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "standin/geometry/vector_math.h"

namespace host {
namespace {

// Two doubles operated on together, lane by lane, each lane rounding as a double alone.
using Pair = double __attribute__((vector_size(16)));

// The turned normal (xy, z) made a unit vector (a zero one stays zero) and multiplied by
// sign. Every path of Transform ends here, so that they round alike.
DVec3d UnitNormal(const Pair& xy, double z, double sign) {
  const double length = std::sqrt(xy[0] * xy[0] + xy[1] * xy[1] + z * z);
  if (length == 0) return {xy[0], xy[1], z};
  const double scale = sign / length;
  const Pair scaled = xy * scale;
  return {scaled[0], scaled[1], z * scale};
}

// How a transform moves points and turns normals, worked out once for all of a mesh's points
// and normals. Normals follow the inverse transpose of the linear part, so that they stay
// perpendicular to the moved faces; the cofactor matrix is that inverse scaled by the
// determinant. A singular linear part turns normals by the linear part itself. The matrices
// are copies, held where no store to a point or normal can reach them, so that they stay in
// registers over the loops.
class MeshMotion {
 public:
  explicit MeshMotion(const Transform& transform) {
    const auto& form = transform.form3d;
    std::copy(&form[0][0], &form[0][0] + 12, &m[0][0]);
    double c[3][3];
    for (int row = 0; row < 3; ++row) {
      for (int col = 0; col < 3; ++col) {
        int r1 = (row + 1) % 3, r2 = (row + 2) % 3, c1 = (col + 1) % 3, c2 = (col + 2) % 3;
        c[row][col] = m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
      }
    }
    const double det = m[0][0] * c[0][0] + m[0][1] * c[0][1] + m[0][2] * c[0][2];
    for (int row = 0; row < 3; ++row)
      for (int col = 0; col < 3; ++col) turn[row][col] = det == 0 ? m[row][col] : c[row][col];
    sign = det < 0 ? -1.0 : 1.0;
    for (int col = 0; col < 4; ++col) pointXY[col] = Pair{m[0][col], m[1][col]};
    for (int col = 0; col < 3; ++col) normalXY[col] = Pair{turn[0][col], turn[1][col]};
  }

  // The same sums in the same order as Transform::Multiply; x and y are worked out side by
  // side, each with its own row's operations.
  DPoint3d Point(const DPoint3d& p) const {
    const Pair xy = pointXY[0] * p.x + pointXY[1] * p.y + pointXY[2] * p.z + pointXY[3];
    return {xy[0], xy[1], m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
  }

  // A unit normal (a zero one stays zero), flipped under a mirroring transform.
  DVec3d Normal(const DVec3d& normal) const {
    const Pair xy = normalXY[0] * normal.x + normalXY[1] * normal.y + normalXY[2] * normal.z;
    const double z = turn[2][0] * normal.x + turn[2][1] * normal.y + turn[2][2] * normal.z;
    return UnitNormal(xy, z, sign);
  }

 private:
  double m[3][4];
  double turn[3][3];  // the cofactor matrix, or the linear part when that is singular
  Pair pointXY[4];    // the columns of m's first two rows
  Pair normalXY[3];   // the columns of turn's first two rows
  double sign;        // -1 under a mirror
};

// Whether none of values[0, count) is an infinity or a NaN: v - v is 0 for a finite v and NaN
// otherwise, and a NaN stays in the running sum.
bool AllFinite(const double* values, size_t count) {
  size_t i = 0;
  double rest = 0;
#ifdef __SSE2__
  __m128d sum = _mm_setzero_pd();
#pragma GCC unroll 4
  for (; i + 2 <= count; i += 2) {
    const __m128d v = _mm_loadu_pd(values + i);
    sum = _mm_add_pd(sum, _mm_sub_pd(v, v));
  }
  rest = sum[0] + sum[1];
#endif
  for (; i < count; ++i) rest += values[i] - values[i];
  return rest == 0;
}

// Under the exact identity a finite point's sums are ((1 * x + 0 * y) + 0 * z) + 0 for x:
// 1 * x is x, each 0 * v a zero, and zeros leave a non-zero x alone, while a zero sum ends as
// +0 through the +0 translation. So each coordinate only has +0 added (-0 becomes +0).
// A non-finite coordinate makes the products NaN; its mesh takes the general path.
void AddPositiveZero(double* values, size_t count) {
  size_t i = 0;
#ifdef __SSE2__
  const __m128d zero = _mm_setzero_pd();
#pragma GCC unroll 4
  for (; i + 2 <= count; i += 2)
    _mm_storeu_pd(values + i, _mm_add_pd(_mm_loadu_pd(values + i), zero));
#endif
  for (; i < count; ++i) values[i] += 0.0;
}

// Under the exact identity the cofactor matrix is the identity too (+0 off the diagonal),
// with determinant 1. A finite normal's component is then summed with two zeros that carry
// the other components' signs: a non-zero component stays, a zero one comes out -0 only when
// all three components have their sign bit set. Adding that zero (-0 or +0) gives exactly
// this; the unit normal is then made as on the general path.
DVec3d IdentityNormal(const DVec3d& n) {
  constexpr uint64_t kSign = uint64_t{1} << 63;
  const double zero =
      std::bit_cast<double>(std::bit_cast<uint64_t>(n.x) & std::bit_cast<uint64_t>(n.y) &
                            std::bit_cast<uint64_t>(n.z) & kSign);
  return UnitNormal(Pair{n.x + zero, n.y + zero}, n.z + zero, 1.0);
}

// Turns every normal by turnOne.
template <typename TurnOne>
void TurnEachNormal(bvector<DVec3d>& normals, TurnOne turnOne) {
  for (DVec3d& normal : normals) normal = turnOne(normal);
}

constexpr double kIdentity[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

static_assert(sizeof(DPoint3d) == 3 * sizeof(double), "points are read as runs of doubles");

// One compiled loop each, shared by every caller: which of two NaNs a sum passes on depends
// on the operand order that the compiler picks, so NaN inputs come out alike only through
// the same code.
[[gnu::noinline]] void MovePoints(const MeshMotion& motion, bvector<DPoint3d>& points) {
  for (DPoint3d& point : points) point = motion.Point(point);
}

[[gnu::noinline]] void TurnNormals(const MeshMotion& motion, bvector<DVec3d>& normals) {
  TurnEachNormal(normals, [&](const DVec3d& n) { return motion.Normal(n); });
}

}  // namespace

void MoveMeshByMatrix(const Transform& transform, bvector<DPoint3d>& points,
                      bvector<DVec3d>& normals) {
  const MeshMotion motion(transform);
  MovePoints(motion, points);
  TurnNormals(motion, normals);
}

bool IsExactIdentity(const Transform& transform) {
  return std::memcmp(transform.form3d, kIdentity, sizeof kIdentity) == 0;
}

// Points or normals with a non-finite coordinate, rare, take the general path as a whole.
void MoveMeshByIdentity(bvector<DPoint3d>& points, bvector<DVec3d>& normals) {
  double* coordinates = reinterpret_cast<double*>(points.data());
  if (AllFinite(coordinates, 3 * points.size()))
    AddPositiveZero(coordinates, 3 * points.size());
  else
    MovePoints(MeshMotion(Transform::FromIdentity()), points);
  if (AllFinite(reinterpret_cast<const double*>(normals.data()), 3 * normals.size())) {
    TurnEachNormal(normals, IdentityNormal);
  } else {
    TurnNormals(MeshMotion(Transform::FromIdentity()), normals);
  }
}

void MakeUnitNormals(bvector<DVec3d>& normals) { TurnEachNormal(normals, vector_math::Normalized); }

void MoveMesh(const Transform& transform, bvector<DPoint3d>& points, bvector<DVec3d>& normals) {
  if (IsExactIdentity(transform))
    MoveMeshByIdentity(points, normals);
  else
    MoveMeshByMatrix(transform, points, normals);
}

}  // namespace host
