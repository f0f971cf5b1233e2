#include "standin/faceter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <numbers>
#include <span>

#include "standin/mesh_motion.h"
#include "standin/vector_math.h"

namespace host {
namespace {

using namespace vector_math;

using Triangle = std::array<size_t, 3>;  // positions in a face

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

// The Newell normal of a face given by its one-based signed indices into points, not yet made
// a unit vector; with the count known where it is inlined (a triangle, a quad) the sum is
// unrolled.
inline DVec3d FaceNewellSum(const DPoint3d* points, const int32_t* face, size_t count) {
  auto at = [&](size_t i) -> const DPoint3d& { return points[std::abs(face[i]) - 1]; };
  return NewellNormal(count, at);
}

// Builds one facet set: its points first, then its faces, each written with its terminator
// and, when normals are asked for, its Newell normal (made a unit vector by Finish).
//
// Faces are added in batches: AddFaces runs a shape's emitter twice, once to count the
// index entries and normals its faces take and once to write them into room made for all
// of them in one step. A face then costs no growth check of its own, and the counts can't
// disagree with what is written, as both come from the same emitter.
class MeshBuilder {
 public:
  explicit MeshBuilder(const IFacetOptions& options)
      : m_mesh(PolyfaceHeader::CreateVariableSizeIndexed()), m_options(options) {}

  int32_t AddPoint(const DPoint3d& point) {
    m_mesh->Point().push_back(point);
    return static_cast<int32_t>(m_mesh->Point().size());
  }
  // Room for as many points and index entries as the shape's size tells in advance, so that
  // the lists are not regrown batch by batch; with normals asked for, for a normal per face
  // (a face takes at least four entries). Only the capacity changes.
  void Reserve(size_t points, size_t indexEntries) {
    m_mesh->Point().reserve(points);
    m_mesh->PointIndex().reserve(indexEntries);
    if (m_options.GetNormalsRequired()) m_mesh->Normal().reserve(indexEntries / 4);
  }
  // The index entries that a face of count points takes under limit: itself and its
  // terminator, or the triangles of its fan.
  static size_t IndexEntries(size_t count, int limit) {
    return count <= static_cast<size_t>(limit) ? count + 1 : 4 * (count - 2);
  }
  int PlanarLimit() const { return std::max(3, m_options.GetMaxPerFace()); }
  int CurvedLimit() const { return std::max(3, m_options.GetCurvedSurfaceMaxPerFace()); }

  // Adds the faces that emit(add) gives by calling add(face, limit) for each, face being a
  // span or a braced list of one-based signed point indices; a face over its limit is
  // fanned. emit is called twice and must give the same faces both times (it may not add
  // points). The points the faces name must all be in the mesh.
  template <typename Emit>
  __attribute__((flatten)) void AddFaces(Emit emit) {
    FaceCounter counter;
    emit(counter);
    FaceWriter writer{*this, MakeRoom(counter.entries, counter.faces)};
    emit(writer);
  }
  void AddFace(std::span<const int32_t> face, int limit) {
    AddFaces([&](auto& add) { add(face, limit); });
  }

  // A planar polygon face over its own points: over the limit, a convex one is fanned and a
  // concave one cut into ears.
  void AddPolygonFace(const std::vector<int32_t>& face) {
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

  // The facet set, its normals made unit vectors: all at the end rather than face by face, so
  // that the square roots and divisions of neighbouring faces overlap.
  PolyfaceHeaderPtr Finish() {
    MakeUnitNormals(m_mesh->Normal());
    return m_mesh;
  }

 private:
  static size_t FacesOf(size_t count, int limit) {
    return count <= static_cast<size_t>(limit) ? 1 : count - 2;
  }

  // Where the next face's entries and normal go, in room already made.
  struct Room {
    int32_t* index;
    DVec3d* normal;  // null without normals
    const DPoint3d* points;
  };
  Room MakeRoom(size_t indexEntries, size_t faces) {
    auto& index = m_mesh->PointIndex();
    const size_t usedEntries = index.size();
    index.resize(usedEntries + indexEntries);
    Room room{index.data() + usedEntries, nullptr, m_mesh->Point().data()};
    if (m_options.GetNormalsRequired()) {
      auto& normals = m_mesh->Normal();
      const size_t usedNormals = normals.size();
      normals.resize(usedNormals + faces);
      room.normal = normals.data() + usedNormals;
    }
    return room;
  }

  // The two passes of AddFaces.
  struct FaceCounter {
    size_t entries = 0, faces = 0;
    void operator()(std::span<const int32_t> face, int limit) {
      entries += IndexEntries(face.size(), limit);
      faces += FacesOf(face.size(), limit);
    }
    void operator()(std::initializer_list<int32_t> face, int limit) {
      (*this)(std::span<const int32_t>(face.begin(), face.size()), limit);
    }
  };
  struct FaceWriter {
    MeshBuilder& builder;
    Room room;
    void operator()(std::span<const int32_t> face, int limit) {
      if (face.size() <= static_cast<size_t>(limit)) return PutIndexedFace(room, face);
      for (size_t i = 1; i + 1 < face.size(); ++i) {
        if (!builder.m_options.GetEdgeHiding()) {  // then every corner keeps its own mark
          const int32_t corners[3] = {face[0], face[i], face[i + 1]};
          PutShortFace<3>(room, corners);
        } else {
          builder.PutTriangle(room, face, {0, i, i + 1});
        }
      }
    }
    void operator()(std::initializer_list<int32_t> face, int limit) {
      (*this)(std::span<const int32_t>(face.begin(), face.size()), limit);
    }
  };

  void AddTriangles(std::span<const int32_t> face, const std::vector<Triangle>& triangles) {
    Room room = MakeRoom(4 * triangles.size(), triangles.size());
    for (const Triangle& t : triangles) PutTriangle(room, face, t);
  }

  // A triangle's edge that runs from one face point to the next is the face's own edge and
  // keeps that point's mark; any other edge was added by the split.
  void PutTriangle(Room& room, std::span<const int32_t> face, const Triangle& t) const {
    int32_t corners[3];
    for (size_t k = 0; k < 3; ++k) {
      const size_t from = t[k];
      if (!m_options.GetEdgeHiding()) {  // then every corner keeps its own mark
        corners[k] = face[from];
        continue;
      }
      const size_t to = t[k == 2 ? 0 : k + 1];
      const bool faceEdge = to == (from + 1 == face.size() ? 0 : from + 1);
      const bool hidden = faceEdge ? face[from] < 0 : true;
      corners[k] = hidden ? -std::abs(face[from]) : std::abs(face[from]);
    }
    PutIndexedFace(room, corners);
  }

  // Writes one face and its terminator and, when normals are asked for, its Newell sum; for
  // triangles and quads with the count known, so that the sum is unrolled.
  static void PutIndexedFace(Room& room, std::span<const int32_t> face) {
    switch (face.size()) {
      case 3:
        return PutShortFace<3>(room, face.data());
      case 4:
        return PutShortFace<4>(room, face.data());
    }
    std::copy(face.begin(), face.end(), room.index);
    room.index[face.size()] = 0;
    room.index += face.size() + 1;
    if (room.normal) *room.normal++ = FaceNewellSum(room.points, face.data(), face.size());
  }
  template <size_t Count>
  static void PutShortFace(Room& room, const int32_t* face) {
    for (size_t i = 0; i < Count; ++i) room.index[i] = face[i];
    room.index[Count] = 0;
    room.index += Count + 1;
    if (room.normal) *room.normal++ = FaceNewellSum(room.points, face, Count);
  }

  PolyfaceHeaderPtr m_mesh;
  const IFacetOptions& m_options;
};

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
