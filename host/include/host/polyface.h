// Indexed meshes (polyfaces) and the options that control how the host facets geometry.
#pragma once

#include <cmath>
#include <numbers>

#include "host/geometry.h"
#include "host/host_types.h"
#include "host/ref_counted.h"

class IFacetOptions;
using IFacetOptionsPtr = RefCountedPtr<IFacetOptions>;

class IFacetOptions : public RefCountedBase {
 public:
  // Host defaults: at most 4 points per face on planes and curved surfaces alike, angle
  // tolerance pi/8, no edge hiding, no normals.
  static IFacetOptionsPtr Create();

  void SetEdgeHiding(bool value) { m_edgeHiding = value; }
  bool GetEdgeHiding() const { return m_edgeHiding; }
  void SetIgnoreFaceMaterialAttachments(bool value) { m_ignoreFaceMaterials = value; }
  bool GetIgnoreFaceMaterialAttachments() const { return m_ignoreFaceMaterials; }
  void SetMaxPerFace(int value) { m_maxPerFace = value; }
  int GetMaxPerFace() const { return m_maxPerFace; }
  void SetCurvedSurfaceMaxPerFace(int value) { m_curvedMaxPerFace = value; }
  int GetCurvedSurfaceMaxPerFace() const { return m_curvedMaxPerFace; }
  void SetNormalsRequired(bool value) { m_normalsRequired = value; }
  bool GetNormalsRequired() const { return m_normalsRequired; }
  void SetAngleTolerance(double radians) { m_angleTolerance = radians; }
  double GetAngleTolerance() const { return m_angleTolerance; }

 private:
  bool m_edgeHiding = false;
  bool m_ignoreFaceMaterials = false;
  int m_maxPerFace = 4;
  int m_curvedMaxPerFace = 4;
  bool m_normalsRequired = false;
  double m_angleTolerance = std::numbers::pi / 8;
};

// Read access to an indexed mesh. Point indices are one-based and signed (a negative index
// marks a hidden edge). In a variable-size mesh (numPerFace 0) each face's indices are
// followed by a terminating 0; in a fixed-size mesh every numPerFace indices form a face.
class PolyfaceQuery {
 public:
  virtual ~PolyfaceQuery() = default;
  size_t GetPointCount() const { return m_points.size(); }
  const DPoint3d* GetPointCP() const { return m_points.data(); }
  size_t GetPointIndexCount() const { return m_pointIndex.size(); }
  const int32_t* GetPointIndexCP() const { return m_pointIndex.data(); }
  size_t GetNormalCount() const { return m_normals.size(); }
  const DVec3d* GetNormalCP() const { return m_normals.data(); }
  int GetNumPerFace() const { return m_numPerFace; }
  // The number of faces.
  size_t GetNumFacet() const;

 protected:
  bvector<DPoint3d> m_points;
  bvector<int32_t> m_pointIndex;
  bvector<DVec3d> m_normals;  // one per face when asked for
  int m_numPerFace = 0;
};
using PolyfaceQueryCR = const PolyfaceQuery&;

class PolyfaceHeader;
using PolyfaceHeaderPtr = RefCountedPtr<PolyfaceHeader>;

// The count comes first: GCC misreads the counted base's `delete this` (free-nonheap-object)
// when that base sits at an offset inside the object.
class PolyfaceHeader : public RefCountedBase, public PolyfaceQuery {
 public:
  PolyfaceHeader();
  ~PolyfaceHeader() override;
  PolyfaceHeader(const PolyfaceHeader&) = delete;
  PolyfaceHeader& operator=(const PolyfaceHeader&) = delete;

  // A new, empty mesh whose faces are terminated by 0.
  static PolyfaceHeaderPtr CreateVariableSizeIndexed();
  // A mesh of faces of numPerFace one-based indices each, without terminators.
  static PolyfaceHeaderPtr CreateIndexedMesh(int numPerFace, const bvector<DPoint3d>& points,
                                             const bvector<int>& indices);

  // Replaces the whole content with a copy of source's.
  void CopyFrom(PolyfaceQueryCR source);
  // Moves every point (and turns every normal) by transform. With reverseIndicesIfMirrored
  // a mirroring transform also reverses each face's index order, so that faces keep facing
  // outward.
  void Transform(const ::Transform& transform, bool reverseIndicesIfMirrored);

  bvector<DPoint3d>& Point() { return m_points; }
  bvector<int32_t>& PointIndex() { return m_pointIndex; }
  bvector<DVec3d>& Normal() { return m_normals; }
  void SetNumPerFace(int numPerFace) { m_numPerFace = numPerFace; }
  // Appends one face (one-based signed indices) and its terminator.
  void AddIndexedFace(const int32_t* indices, size_t count);
};
