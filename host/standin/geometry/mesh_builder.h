// The stand-in faceter's builder of one facet set, and the Newell sum of a face. Internal to
// the host (the faceter).
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <span>
#include <vector>

#include "host/polyface.h"
#include "standin/geometry/vector_math.h"

namespace host {

using Triangle = std::array<size_t, 3>;  // positions in a face

// The Newell normal of a face given by its one-based signed indices into points, not yet made
// a unit vector; with the count known where it is inlined (a triangle, a quad) the sum is
// unrolled.
inline DVec3d FaceNewellSum(const DPoint3d* points, const int32_t* face, size_t count) {
  auto at = [&](size_t i) -> const DPoint3d& { return points[std::abs(face[i]) - 1]; };
  return vector_math::NewellNormal(count, at);
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
  void AddPolygonFace(const std::vector<int32_t>& face);

  // The facet set, its normals made unit vectors: all at the end rather than face by face, so
  // that the square roots and divisions of neighbouring faces overlap.
  PolyfaceHeaderPtr Finish();

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

  void AddTriangles(std::span<const int32_t> face, const std::vector<Triangle>& triangles);

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

}  // namespace host
