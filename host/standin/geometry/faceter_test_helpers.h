// Helpers that the faceter's tests share: the faces of a facet set, its points, the vector
// maths the checks compute with, and facet options with face limits.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "standin/geometry/faceter.h"

namespace host::faceter_testing {

using Face = std::vector<int32_t>;
constexpr double kPi = std::numbers::pi;

// The faces of a facet set, each its signed one-based point indices without the 0 that ends it.
inline std::vector<Face> FacesOf(const PolyfaceQuery& mesh) {
  std::vector<Face> faces(1);
  for (size_t i = 0; i < mesh.GetPointIndexCount(); ++i) {
    int32_t index = mesh.GetPointIndexCP()[i];
    if (index == 0)
      faces.emplace_back();
    else
      faces.back().push_back(index);
  }
  EXPECT_TRUE(faces.back().empty()) << "the last face has no terminator";
  faces.pop_back();
  return faces;
}

inline DPoint3d PointOf(const PolyfaceQuery& mesh, int32_t index) {
  return mesh.GetPointCP()[std::abs(index) - 1];
}

inline DVec3d Minus(const DPoint3d& a, const DPoint3d& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline DPoint3d Plus(const DPoint3d& a, const DVec3d& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline DVec3d Times(const DVec3d& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline DVec3d Cross(const DVec3d& a, const DVec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Dot(const DVec3d& a, const DVec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double Norm(const DVec3d& a) { return std::sqrt(Dot(a, a)); }
inline DVec3d Unit(const DVec3d& a) { return Norm(a) == 0 ? a : Times(a, 1 / Norm(a)); }

inline IFacetOptionsPtr Options(int maxPerFace, int curvedMaxPerFace, bool edgeHiding = false) {
  IFacetOptionsPtr options = IFacetOptions::Create();
  options->SetMaxPerFace(maxPerFace);
  options->SetCurvedSurfaceMaxPerFace(curvedMaxPerFace);
  options->SetEdgeHiding(edgeHiding);
  return options;
}

}  // namespace host::faceter_testing
