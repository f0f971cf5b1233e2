#include "standin/geometry/geometry_range.h"

#include <cmath>

#include "standin/geometry/vector_math.h"

namespace host {
namespace {

using namespace vector_math;

// The range of a circle (centre, unit axis w, radius) moved by placement: the circle becomes
// an ellipse with half-axes a and b, whose extent along each axis is sqrt(a^2 + b^2).
void ExtendByCircle(DRange3d& range, const Transform& placement, const DPoint3d& center,
                    const DVec3d& w, double radius) {
  DPoint3d c = placement.Multiply(center);
  if (radius == 0) return range.Extend(c);
  DVec3d u, v;
  PerpendicularFrame(w, u, v);
  DVec3d a = placement.MultiplyMatrixOnly(Scale(u, radius));
  DVec3d b = placement.MultiplyMatrixOnly(Scale(v, radius));
  DVec3d half = {std::hypot(a.x, b.x), std::hypot(a.y, b.y), std::hypot(a.z, b.z)};
  range.Extend(Sub(c, half));
  range.Extend(Add(c, half));
}

}  // namespace

DRange3d GeometryRange(const Element& element, const Transform& placement) {
  DRange3d range = DRange3d::NullRange();
  auto extend = [&](const DPoint3d& point) { range.Extend(placement.Multiply(point)); };
  switch (element.type) {
    case ElementType::Line:
    case ElementType::LineString:
    case ElementType::Shape:
    case ElementType::Mesh:
      for (const DPoint3d& point : element.points) extend(point);
      break;
    case ElementType::Text:
      extend(element.origin);
      break;
    case ElementType::Extrusion:
      for (const DPoint3d& point : element.profile) {
        extend(point);
        extend(Add(point, element.vector));
      }
      break;
    case ElementType::Cone: {
      DVec3d w = Normalized(Sub(element.top, element.base));
      if (Length(w) == 0) w = {0, 0, 1};
      ExtendByCircle(range, placement, element.base, w, std::abs(element.baseRadius));
      ExtendByCircle(range, placement, element.top, w, std::abs(element.topRadius));
      break;
    }
    case ElementType::Sphere: {
      // A sphere moved by placement is an ellipsoid: its extent along an axis is the radius
      // times the length of that row of the linear part.
      DPoint3d c = placement.Multiply(element.center);
      const auto& m = placement.form3d;
      double r = std::abs(element.radius);
      DVec3d half = {r * Length({m[0][0], m[0][1], m[0][2]}),
                     r * Length({m[1][0], m[1][1], m[1][2]}),
                     r * Length({m[2][0], m[2][1], m[2][2]})};
      range.Extend(Sub(c, half));
      range.Extend(Add(c, half));
      break;
    }
    case ElementType::Cell:
      for (const auto& child : element.children)
        range.Extend(GeometryRange(*child, placement * element.transform));
      break;
  }
  return range;
}

}  // namespace host
