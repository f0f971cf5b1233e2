#include "standin/geometry/faceter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <numbers>
#include <span>

#include "standin/geometry/mesh_builder.h"
#include "standin/geometry/vector_math.h"

namespace host {
namespace {

using namespace vector_math;

// The cosine and sine of each angle 2 pi k / segments of a circle, k = 0 .. segments - 1,
// each computed as one point's angle would be, so that a ring made from the table has the
// same bits as one that computes its own. Every ring of a sphere and both of a cone share
// one table, and the table of the last segment count is kept for the next element, which
// usually has the same angle tolerance.
struct CircleTable {
  int segments = 0;
  std::vector<double> cosines, sines;
};

const CircleTable& CircleTableFor(int segments) {
  thread_local CircleTable table;
  if (table.segments == segments) return table;
  table.cosines.resize(static_cast<size_t>(segments));
  table.sines.resize(static_cast<size_t>(segments));
  for (int k = 0; k < segments; ++k) {
    double angle = 2 * std::numbers::pi * k / segments;
    table.cosines[static_cast<size_t>(k)] = std::cos(angle);
    table.sines[static_cast<size_t>(k)] = std::sin(angle);
  }
  table.segments = segments;
  return table;
}

// Adds the points of a circle around center in the plane of (u, v), one per entry of the
// table, and returns the index of the first: the ring's points are numbered consecutively.
// Each point's append is inlined here.
__attribute__((flatten)) int32_t AddRingPoints(MeshBuilder& builder, const DPoint3d& center,
                                               const DVec3d& u, const DVec3d& v, double radius,
                                               const CircleTable& circle) {
  int32_t first = 0;
  for (size_t k = 0; k < circle.cosines.size(); ++k) {
    DVec3d offset = Add(Scale(u, radius * circle.cosines[k]), Scale(v, radius * circle.sines[k]));
    int32_t index = builder.AddPoint(Add(center, offset));
    if (k == 0) first = index;
  }
  return first;
}

// The same ring as a list of its point indices.
std::vector<int32_t> AddRing(MeshBuilder& builder, const DPoint3d& center, const DVec3d& u,
                             const DVec3d& v, double radius, const CircleTable& circle) {
  int32_t first = AddRingPoints(builder, center, u, v, radius, circle);
  std::vector<int32_t> ring(circle.cosines.size());
  for (size_t k = 0; k < ring.size(); ++k) ring[k] = first + static_cast<int32_t>(k);
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
  const int limit = builder.PlanarLimit();
  size_t entries = 0;
  for (const auto& face : faces) entries += MeshBuilder::IndexEntries(face.size(), limit);
  builder.Reserve(points.size(), entries);
  for (const DPoint3d& point : points) builder.AddPoint(point);
  auto names = [&](int index) {
    return index != 0 &&
           static_cast<size_t>(std::abs(static_cast<int64_t>(index))) <= points.size();
  };
  builder.AddFaces([&](auto& add) {
    for (const auto& face : faces)
      if (face.size() >= 3 && std::all_of(face.begin(), face.end(), names))
        add(std::span<const int32_t>(face), limit);
  });
  return builder.Finish();
}

PolyfaceHeaderPtr FacetShape(const bvector<DPoint3d>& polygon, const IFacetOptions& options) {
  if (polygon.size() < 3) return nullptr;
  MeshBuilder builder(options);
  builder.Reserve(polygon.size(), MeshBuilder::IndexEntries(polygon.size(), builder.PlanarLimit()));
  std::vector<int32_t> face;
  face.reserve(polygon.size());
  for (const DPoint3d& point : polygon) face.push_back(builder.AddPoint(point));
  builder.AddPolygonFace(face);
  return builder.Finish();
}

PolyfaceHeaderPtr FacetExtrusion(const bvector<DPoint3d>& profile, const DVec3d& sweep,
                                 const IFacetOptions& options) {
  if (profile.size() < 3 || Length(sweep) == 0) return nullptr;
  MeshBuilder builder(options);
  const int limit = builder.PlanarLimit();
  builder.Reserve(2 * profile.size(), 2 * MeshBuilder::IndexEntries(profile.size(), limit) +
                                          profile.size() * MeshBuilder::IndexEntries(4, limit));
  std::vector<int32_t> bottom, top;
  bottom.reserve(profile.size());
  top.reserve(profile.size());
  for (const DPoint3d& point : profile) bottom.push_back(builder.AddPoint(point));
  for (const DPoint3d& point : profile) top.push_back(builder.AddPoint(Add(point, sweep)));
  // Seen from the sweep's side, the top must run counter-clockwise.
  if (Dot(PolygonNormal(profile), sweep) < 0) {
    bottom = Reversed(bottom);
    top = Reversed(top);
  }
  builder.AddPolygonFace(Reversed(bottom));
  builder.AddPolygonFace(top);
  builder.AddFaces([&](auto& add) {
    for (size_t i = 0; i < bottom.size(); ++i) {
      size_t next = (i + 1) % bottom.size();
      add({bottom[i], bottom[next], top[next], top[i]}, limit);
    }
  });
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
  const CircleTable& circle = CircleTableFor(segments);
  MeshBuilder builder(options);
  const size_t n = static_cast<size_t>(segments);
  const size_t sideCount = 2 + (baseRadius != 0 ? 1 : 0) + (topRadius != 0 ? 1 : 0);
  builder.Reserve(2 * n, n * MeshBuilder::IndexEntries(sideCount, builder.CurvedLimit()) +
                             2 * MeshBuilder::IndexEntries(n, builder.PlanarLimit()));
  auto ring = [&](const DPoint3d& center, double radius) {
    return radius == 0 ? std::vector<int32_t>(n, builder.AddPoint(center))
                       : AddRing(builder, center, u, v, radius, circle);
  };
  std::vector<int32_t> low = ring(base, baseRadius), high = ring(top, topRadius);
  builder.AddFaces([&](auto& add) {
    for (size_t k = 0; k < n; ++k) {
      size_t next = (k + 1) % n;
      int32_t side[4];
      size_t count = 0;
      side[count++] = low[k];
      if (baseRadius != 0) side[count++] = low[next];
      if (topRadius != 0) side[count++] = high[next];
      side[count++] = high[k];
      add(std::span<const int32_t>(side, count), builder.CurvedLimit());
    }
  });
  if (baseRadius != 0) builder.AddPolygonFace(Reversed(low));
  if (topRadius != 0) builder.AddPolygonFace(high);
  return builder.Finish();
}

PolyfaceHeaderPtr FacetSphere(const DPoint3d& center, double radius, const IFacetOptions& options) {
  if (!(radius > 0)) return nullptr;
  int segments = SegmentsForFullCircle(options.GetAngleTolerance());
  int bands = std::max(2, (segments + 1) / 2);
  const CircleTable& circle = CircleTableFor(segments);
  MeshBuilder builder(options);
  const int limit = builder.CurvedLimit();
  const size_t n = static_cast<size_t>(segments), rings = static_cast<size_t>(bands - 1);
  builder.Reserve(2 + rings * n, n * (2 * MeshBuilder::IndexEntries(3, limit) +
                                      (rings - 1) * MeshBuilder::IndexEntries(4, limit)));
  int32_t north = builder.AddPoint(Add(center, DVec3d{0, 0, radius}));
  int32_t firstRing = 0;
  for (int i = 1; i < bands; ++i) {
    double polar = std::numbers::pi * i / bands;
    DPoint3d ringCenter = Add(center, DVec3d{0, 0, radius * std::cos(polar)});
    int32_t first =
        AddRingPoints(builder, ringCenter, {1, 0, 0}, {0, 1, 0}, radius * std::sin(polar), circle);
    if (i == 1) firstRing = first;
  }
  int32_t south = builder.AddPoint(Add(center, DVec3d{0, 0, -radius}));
  // The rings' points are numbered consecutively, ring after ring.
  auto at = [&](size_t ring, size_t k) { return firstRing + static_cast<int32_t>(ring * n + k); };
  builder.AddFaces([&](auto& add) {
    for (size_t k = 0; k < n; ++k) {
      size_t next = (k + 1) % n;
      add({north, at(0, k), at(0, next)}, limit);
      for (size_t i = 0; i + 1 < rings; ++i)
        add({at(i, k), at(i + 1, k), at(i + 1, next), at(i, next)}, limit);
      add({south, at(rings - 1, next), at(rings - 1, k)}, limit);
    }
  });
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

}  // namespace host
