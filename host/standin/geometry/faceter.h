// The stand-in's faceter: turns the geometry of simple elements into facet sets under facet
// options. Internal to the host.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <vector>

#include "host/geometry.h"
#include "host/polyface.h"
#include "standin/design/design.h"

namespace host {

// The number of segments that the angle tolerance gives a full circle: ceil(2 pi / tolerance),
// at least 3 and at most 4096. A tolerance that is not a positive number counts as pi / 8.
int SegmentsForFullCircle(double angleTolerance);

// Every result below is a new variable-size mesh in the element's own coordinates: one-based
// indices, each face followed by 0, no face over MaxPerFace points (CurvedSurfaceMaxPerFace
// on curved surfaces; limits below 3 count as 3), one normal per face when NormalsRequired.
// A face with too many points is split into a fan (first, i, i+1), a concave polygon into
// triangles that cover exactly its area; with EdgeHiding the edges added by a split are
// marked hidden (negative index on the point where the edge starts).

// The mesh's points and faces in their order, signs kept. A face shorter than 3 points or
// naming no point is left out.
PolyfaceHeaderPtr FacetMesh(const bvector<DPoint3d>& points,
                            const std::vector<std::vector<int>>& faces,
                            const IFacetOptions& options);
// A closed planar polygon (closing point not repeated) as one facet set with its points in
// their order. Null for fewer than 3 points.
PolyfaceHeaderPtr FacetShape(const bvector<DPoint3d>& polygon, const IFacetOptions& options);
// The solids: closed, outward-facing meshes. Null when the solid is degenerate (fewer than 3
// profile points or a zero sweep; a cone of zero height or with both radii 0; a sphere of
// radius 0 or less). Negative cone radii count as their size.
PolyfaceHeaderPtr FacetExtrusion(const bvector<DPoint3d>& profile, const DVec3d& sweep,
                                 const IFacetOptions& options);
PolyfaceHeaderPtr FacetCone(const DPoint3d& base, const DPoint3d& top, double baseRadius,
                            double topRadius, const IFacetOptions& options);
PolyfaceHeaderPtr FacetSphere(const DPoint3d& center, double radius, const IFacetOptions& options);

// The facet set of a simple element of a type that gives facets; null for other types
// (cells included: their children are faceted one by one) and for degenerate solids.
PolyfaceHeaderPtr FacetElement(const Element& element, const IFacetOptions& options);

}  // namespace host
