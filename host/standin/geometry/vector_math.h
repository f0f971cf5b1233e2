// Small vector maths shared by the stand-in's faceter and range code. Every function
// computes its result in one fixed order of operations, so that the same inputs give the
// same bits wherever they are used. Internal to the host.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <cmath>
#include <cstddef>

#include "host/geometry.h"
#include "host/host_types.h"

namespace host::vector_math {

inline DVec3d Sub(const DPoint3d& a, const DPoint3d& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline DPoint3d Add(const DPoint3d& a, const DVec3d& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline DVec3d Scale(const DVec3d& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double Dot(const DVec3d& a, const DVec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline DVec3d Cross(const DVec3d& a, const DVec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const DVec3d& a) { return std::sqrt(Dot(a, a)); }
inline DVec3d Normalized(const DVec3d& a) {
  double length = Length(a);
  return length == 0 ? a : Scale(a, 1 / length);
}

// The polygon's area-weighted normal (Newell's method): its direction follows the winding.
// The polygon's points are at(0) .. at(count - 1); the sum runs in that order from the edge
// (0, 1) to the closing edge (count - 1, 0), so that every caller gets the same bits.
// With a count known where it is inlined (a triangle, a quad), the loop is unrolled, so that
// each point is read once; the sums and their order stay the same.
template <typename PointAt>
inline DVec3d NewellNormal(size_t count, PointAt at) {
  DVec3d sum;
#pragma GCC unroll 4
  for (size_t i = 0; i < count; ++i) sum = Add(sum, Cross(at(i), at(i + 1 == count ? 0 : i + 1)));
  return sum;
}

inline DVec3d PolygonNormal(const bvector<DPoint3d>& points) {
  return NewellNormal(points.size(), [&](size_t i) -> const DPoint3d& { return points[i]; });
}

// Two unit vectors that make a right-handed frame (u, v, w) with the unit vector w.
inline void PerpendicularFrame(const DVec3d& w, DVec3d& u, DVec3d& v) {
  DVec3d helper = std::abs(w.x) < 0.6 ? DVec3d{1, 0, 0} : DVec3d{0, 1, 0};
  u = Normalized(Cross(helper, w));
  v = Cross(w, u);
}

}  // namespace host::vector_math
