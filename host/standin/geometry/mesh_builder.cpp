#include "standin/geometry/mesh_builder.h"

#include <cmath>

#include "standin/geometry/mesh_motion.h"

namespace host {
namespace {

using namespace vector_math;

// The polygon of points at(0) .. at(count - 1) in its own plane, turned so that it runs
// counter-clockwise. The points are read where they are, not copied out first.
template <typename PointAt>
std::vector<std::array<double, 2>> PlaneCoordinates(size_t count, PointAt at) {
  DVec3d w = Normalized(NewellNormal(count, at)), u, v;
  if (Length(w) == 0) w = {0, 0, 1};
  PerpendicularFrame(w, u, v);
  std::vector<std::array<double, 2>> flat(count);
  for (size_t i = 0; i < count; ++i) {
    DVec3d d = Sub(at(i), at(0));
    flat[i] = {Dot(d, u), Dot(d, v)};
  }
  return flat;
}

double Turn(const std::array<double, 2>& a, const std::array<double, 2>& b,
            const std::array<double, 2>& c) {
  return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
}

bool IsConvex(const std::vector<std::array<double, 2>>& flat, double eps) {
  const size_t n = flat.size();
  if (n < 3) return true;
  // Each corner with the two after it, around the end: the turns at n - 2 and n - 1 close it.
  for (size_t i = 0; i + 2 < n; ++i)
    if (Turn(flat[i], flat[i + 1], flat[i + 2]) < -eps) return false;
  return !(Turn(flat[n - 2], flat[n - 1], flat[0]) < -eps) &&
         !(Turn(flat[n - 1], flat[0], flat[1]) < -eps);
}

bool InsideOrOn(const std::array<double, 2>& p, const std::array<double, 2>& a,
                const std::array<double, 2>& b, const std::array<double, 2>& c, double eps) {
  return Turn(a, b, p) >= -eps && Turn(b, c, p) >= -eps && Turn(c, a, p) >= -eps;
}

// Ear clipping of a counter-clockwise simple polygon. Each triangle keeps the polygon's
// order, so its edges that are polygon edges run as they do in the polygon. A polygon with
// no ear left (it crosses itself) has its rest fanned, so that the loop always ends.
std::vector<Triangle> EarClip(const std::vector<std::array<double, 2>>& flat, double eps) {
  std::vector<size_t> left(flat.size());
  for (size_t i = 0; i < left.size(); ++i) left[i] = i;
  std::vector<Triangle> triangles;
  while (left.size() > 3) {
    bool clipped = false;
    for (size_t k = 0; k < left.size() && !clipped; ++k) {
      size_t a = left[(k + left.size() - 1) % left.size()], b = left[k],
             c = left[(k + 1) % left.size()];
      if (Turn(flat[a], flat[b], flat[c]) <= eps) continue;
      bool empty = true;
      for (size_t other : left) {
        if (other == a || other == b || other == c) continue;
        if (InsideOrOn(flat[other], flat[a], flat[b], flat[c], eps)) empty = false;
      }
      if (!empty) continue;
      triangles.push_back({a, b, c});
      left.erase(left.begin() + static_cast<std::ptrdiff_t>(k));
      clipped = true;
    }
    if (!clipped) {
      for (size_t i = 1; i + 1 < left.size(); ++i)
        triangles.push_back({left[0], left[i], left[i + 1]});
      return triangles;
    }
  }
  triangles.push_back({left[0], left[1], left[2]});
  return triangles;
}

}  // namespace

void MeshBuilder::AddPolygonFace(const std::vector<int32_t>& face) {
  if (face.size() <= static_cast<size_t>(PlanarLimit())) return AddFace(face, PlanarLimit());
  const DPoint3d* points = m_mesh->Point().data();
  auto flat = PlaneCoordinates(
      face.size(), [&](size_t i) -> const DPoint3d& { return points[std::abs(face[i]) - 1]; });
  double extent = 0;
  for (const auto& p : flat) extent = std::max({extent, std::abs(p[0]), std::abs(p[1])});
  double eps = 1e-12 * extent * extent;
  if (!IsConvex(flat, eps)) return AddTriangles(face, EarClip(flat, eps));
  AddFace(face, 3);  // fanned
}

// All at the end rather than face by face, so that the square roots and divisions of
// neighbouring faces overlap.
PolyfaceHeaderPtr MeshBuilder::Finish() {
  MakeUnitNormals(m_mesh->Normal());
  return m_mesh;
}

void MeshBuilder::AddTriangles(std::span<const int32_t> face,
                               const std::vector<Triangle>& triangles) {
  Room room = MakeRoom(4 * triangles.size(), triangles.size());
  for (const Triangle& t : triangles) PutTriangle(room, face, t);
}

}  // namespace host
