#include "standin/faceter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <numbers>
#include <span>

namespace host {
namespace {

using Triangle = std::array<size_t, 3>;  // positions in a face

DVec3d Sub(const DPoint3d& a, const DPoint3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
DPoint3d Add(const DPoint3d& a, const DVec3d& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
DVec3d Scale(const DVec3d& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(const DVec3d& a, const DVec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
DVec3d Cross(const DVec3d& a, const DVec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const DVec3d& a) { return std::sqrt(Dot(a, a)); }
DVec3d Normalized(const DVec3d& a) {
  double length = Length(a);
  return length == 0 ? a : Scale(a, 1 / length);
}

// The polygon's area-weighted normal (Newell's method): its direction follows the winding.
DVec3d PolygonNormal(const bvector<DPoint3d>& points) {
  DVec3d sum;
  for (size_t i = 0; i < points.size(); ++i) {
    const DPoint3d& a = points[i];
    const DPoint3d& b = points[(i + 1) % points.size()];
    sum = Add(sum, Cross(a, b));
  }
  return sum;
}

// Two unit vectors that make a right-handed frame (u, v, w) with the unit vector w.
void PerpendicularFrame(const DVec3d& w, DVec3d& u, DVec3d& v) {
  DVec3d helper = std::abs(w.x) < 0.6 ? DVec3d{1, 0, 0} : DVec3d{0, 1, 0};
  u = Normalized(Cross(helper, w));
  v = Cross(w, u);
}

// The polygon in its own plane, turned so that it runs counter-clockwise.
std::vector<std::array<double, 2>> PlaneCoordinates(const bvector<DPoint3d>& polygon) {
  DVec3d w = Normalized(PolygonNormal(polygon)), u, v;
  if (Length(w) == 0) w = {0, 0, 1};
  PerpendicularFrame(w, u, v);
  std::vector<std::array<double, 2>> flat;
  for (const DPoint3d& p : polygon) {
    DVec3d d = Sub(p, polygon[0]);
    flat.push_back({Dot(d, u), Dot(d, v)});
  }
  return flat;
}

double Turn(const std::array<double, 2>& a, const std::array<double, 2>& b,
            const std::array<double, 2>& c) {
  return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
}

bool IsConvex(const std::vector<std::array<double, 2>>& flat, double eps) {
  size_t n = flat.size();
  for (size_t i = 0; i < n; ++i)
    if (Turn(flat[i], flat[(i + 1) % n], flat[(i + 2) % n]) < -eps) return false;
  return true;
}

std::vector<Triangle> Fan(size_t count) {
  std::vector<Triangle> triangles;
  for (size_t i = 1; i + 1 < count; ++i) triangles.push_back({0, i, i + 1});
  return triangles;
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

// Builds one facet set face by face.
class MeshBuilder {
 public:
  explicit MeshBuilder(const IFacetOptions& options)
      : m_mesh(PolyfaceHeader::CreateVariableSizeIndexed()), m_options(options) {}

  int32_t AddPoint(const DPoint3d& point) {
    m_mesh->Point().push_back(point);
    return static_cast<int32_t>(m_mesh->Point().size());
  }
  int PlanarLimit() const { return std::max(3, m_options.GetMaxPerFace()); }
  int CurvedLimit() const { return std::max(3, m_options.GetCurvedSurfaceMaxPerFace()); }

  // A face that is not to be triangulated by area: fanned when over the limit. The face and
  // its fan are read in place, so that a face costs no allocation of its own.
  void AddFace(std::span<const int32_t> face, int limit) {
    if (face.size() <= static_cast<size_t>(limit)) {
      m_mesh->AddIndexedFace(face.data(), face.size());
      return;
    }
    for (size_t i = 1; i + 1 < face.size(); ++i) AddTriangle(face, {0, i, i + 1});
  }
  void AddFace(std::initializer_list<int32_t> face, int limit) {
    AddFace(std::span<const int32_t>(face.begin(), face.size()), limit);
  }

  // A planar polygon face over its own points: over the limit, a convex one is fanned and a
  // concave one cut into ears.
  void AddPolygonFace(const std::vector<int32_t>& face) {
    if (face.size() <= static_cast<size_t>(PlanarLimit())) return AddFace(face, PlanarLimit());
    bvector<DPoint3d> polygon;
    for (int32_t index : face) polygon.push_back(m_mesh->Point()[std::abs(index) - 1]);
    auto flat = PlaneCoordinates(polygon);
    double extent = 0;
    for (const auto& p : flat) extent = std::max({extent, std::abs(p[0]), std::abs(p[1])});
    double eps = 1e-12 * extent * extent;
    AddTriangles(face, IsConvex(flat, eps) ? Fan(face.size()) : EarClip(flat, eps));
  }

  PolyfaceHeaderPtr Finish() {
    if (m_options.GetNormalsRequired()) AddFaceNormals();
    return m_mesh;
  }

 private:
  // A triangle's edge that runs from one face point to the next is the face's own edge and
  // keeps that point's mark; any other edge was added by the split.
  void AddTriangle(std::span<const int32_t> face, const Triangle& t) {
    int32_t out[3];
    for (size_t k = 0; k < 3; ++k) {
      size_t from = t[k], to = t[(k + 1) % 3];
      bool faceEdge = to == (from + 1) % face.size();
      bool hidden = (faceEdge || !m_options.GetEdgeHiding()) ? face[from] < 0 : true;
      out[k] = hidden ? -std::abs(face[from]) : std::abs(face[from]);
    }
    m_mesh->AddIndexedFace(out, 3);
  }
  void AddTriangles(std::span<const int32_t> face, const std::vector<Triangle>& triangles) {
    for (const Triangle& t : triangles) AddTriangle(face, t);
  }

  void AddFaceNormals() {
    const auto& index = m_mesh->PointIndex();
    bvector<DPoint3d> polygon;
    for (int32_t entry : index) {
      if (entry != 0) {
        polygon.push_back(m_mesh->Point()[std::abs(entry) - 1]);
        continue;
      }
      m_mesh->Normal().push_back(Normalized(PolygonNormal(polygon)));
      polygon.clear();
    }
  }

  PolyfaceHeaderPtr m_mesh;
  const IFacetOptions& m_options;
};

// The points of a circle around center in the plane of (u, v).
std::vector<int32_t> AddRing(MeshBuilder& builder, const DPoint3d& center, const DVec3d& u,
                             const DVec3d& v, double radius, int segments) {
  std::vector<int32_t> ring;
  for (int k = 0; k < segments; ++k) {
    double angle = 2 * std::numbers::pi * k / segments;
    DVec3d offset = Add(Scale(u, radius * std::cos(angle)), Scale(v, radius * std::sin(angle)));
    ring.push_back(builder.AddPoint(Add(center, offset)));
  }
  return ring;
}

std::vector<int32_t> Reversed(std::vector<int32_t> face) {
  std::reverse(face.begin(), face.end());
  return face;
}

}  // namespace

int SegmentsForFullCircle(double angleTolerance) {
  if (!(angleTolerance > 0)) angleTolerance = std::numbers::pi / 8;
  double count = std::ceil(2 * std::numbers::pi / angleTolerance - 1e-9);
  return static_cast<int>(std::clamp(count, 3.0, 4096.0));
}

PolyfaceHeaderPtr FacetMesh(const bvector<DPoint3d>& points,
                            const std::vector<std::vector<int>>& faces,
                            const IFacetOptions& options) {
  MeshBuilder builder(options);
  for (const DPoint3d& point : points) builder.AddPoint(point);
  auto names = [&](int index) {
    return index != 0 &&
           static_cast<size_t>(std::abs(static_cast<int64_t>(index))) <= points.size();
  };
  for (const auto& face : faces) {
    if (face.size() < 3 || !std::all_of(face.begin(), face.end(), names)) continue;
    builder.AddFace(std::span<const int32_t>(face), builder.PlanarLimit());
  }
  return builder.Finish();
}

PolyfaceHeaderPtr FacetShape(const bvector<DPoint3d>& polygon, const IFacetOptions& options) {
  if (polygon.size() < 3) return nullptr;
  MeshBuilder builder(options);
  std::vector<int32_t> face;
  for (const DPoint3d& point : polygon) face.push_back(builder.AddPoint(point));
  builder.AddPolygonFace(face);
  return builder.Finish();
}

PolyfaceHeaderPtr FacetExtrusion(const bvector<DPoint3d>& profile, const DVec3d& sweep,
                                 const IFacetOptions& options) {
  if (profile.size() < 3 || Length(sweep) == 0) return nullptr;
  MeshBuilder builder(options);
  std::vector<int32_t> bottom, top;
  for (const DPoint3d& point : profile) bottom.push_back(builder.AddPoint(point));
  for (const DPoint3d& point : profile) top.push_back(builder.AddPoint(Add(point, sweep)));
  // Seen from the sweep's side, the top must run counter-clockwise.
  if (Dot(PolygonNormal(profile), sweep) < 0) {
    bottom = Reversed(bottom);
    top = Reversed(top);
  }
  builder.AddPolygonFace(Reversed(bottom));
  builder.AddPolygonFace(top);
  for (size_t i = 0; i < bottom.size(); ++i) {
    size_t next = (i + 1) % bottom.size();
    builder.AddFace({bottom[i], bottom[next], top[next], top[i]}, builder.PlanarLimit());
  }
  return builder.Finish();
}

PolyfaceHeaderPtr FacetCone(const DPoint3d& base, const DPoint3d& top, double baseRadius,
                            double topRadius, const IFacetOptions& options) {
  baseRadius = std::abs(baseRadius);
  topRadius = std::abs(topRadius);
  DVec3d axis = Sub(top, base);
  if (Length(axis) == 0 || (baseRadius == 0 && topRadius == 0)) return nullptr;
  DVec3d w = Normalized(axis), u, v;
  PerpendicularFrame(w, u, v);
  int segments = SegmentsForFullCircle(options.GetAngleTolerance());
  MeshBuilder builder(options);
  auto ring = [&](const DPoint3d& center, double radius) {
    return radius == 0 ? std::vector<int32_t>(segments, builder.AddPoint(center))
                       : AddRing(builder, center, u, v, radius, segments);
  };
  std::vector<int32_t> low = ring(base, baseRadius), high = ring(top, topRadius);
  for (int k = 0; k < segments; ++k) {
    int next = (k + 1) % segments;
    std::vector<int32_t> side;
    if (baseRadius != 0)
      side.insert(side.end(), {low[k], low[next]});
    else
      side.push_back(low[k]);
    if (topRadius != 0)
      side.insert(side.end(), {high[next], high[k]});
    else
      side.push_back(high[k]);
    builder.AddFace(side, builder.CurvedLimit());
  }
  if (baseRadius != 0) builder.AddPolygonFace(Reversed(low));
  if (topRadius != 0) builder.AddPolygonFace(high);
  return builder.Finish();
}

PolyfaceHeaderPtr FacetSphere(const DPoint3d& center, double radius, const IFacetOptions& options) {
  if (!(radius > 0)) return nullptr;
  int segments = SegmentsForFullCircle(options.GetAngleTolerance());
  int bands = std::max(2, (segments + 1) / 2);
  MeshBuilder builder(options);
  int32_t north = builder.AddPoint(Add(center, DVec3d{0, 0, radius}));
  std::vector<std::vector<int32_t>> rings;
  for (int i = 1; i < bands; ++i) {
    double polar = std::numbers::pi * i / bands;
    DPoint3d ringCenter = Add(center, DVec3d{0, 0, radius * std::cos(polar)});
    rings.push_back(
        AddRing(builder, ringCenter, {1, 0, 0}, {0, 1, 0}, radius * std::sin(polar), segments));
  }
  int32_t south = builder.AddPoint(Add(center, DVec3d{0, 0, -radius}));
  int limit = builder.CurvedLimit();
  for (int k = 0; k < segments; ++k) {
    int next = (k + 1) % segments;
    builder.AddFace({north, rings.front()[k], rings.front()[next]}, limit);
    for (size_t i = 0; i + 1 < rings.size(); ++i)
      builder.AddFace({rings[i][k], rings[i + 1][k], rings[i + 1][next], rings[i][next]}, limit);
    builder.AddFace({south, rings.back()[next], rings.back()[k]}, limit);
  }
  return builder.Finish();
}

PolyfaceHeaderPtr FacetElement(const Element& element, const IFacetOptions& options) {
  switch (element.type) {
    case ElementType::Mesh:
      return FacetMesh(element.points, element.faces, options);
    case ElementType::Shape:
      return FacetShape(element.points, options);
    case ElementType::Extrusion:
      return FacetExtrusion(element.profile, element.vector, options);
    case ElementType::Cone:
      return FacetCone(element.base, element.top, element.baseRadius, element.topRadius, options);
    case ElementType::Sphere:
      return FacetSphere(element.center, element.radius, options);
    default:
      return nullptr;
  }
}

namespace {

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
