// How PolyfaceHeader::Transform moves a mesh's points and turns its normals. Internal to the
// host; split out so that the general matrix path and the identity's short path can be
// compared directly.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include "host/geometry.h"
#include "host/host_types.h"

namespace host {

// Moves every point by transform (the sums of Transform::Multiply, in its order) and turns
// every normal by the inverse transpose of the linear part (the linear part itself when that
// is singular), made a unit vector and flipped under a mirror; a zero normal stays zero.
void MoveMeshByMatrix(const Transform& transform, bvector<DPoint3d>& points,
                      bvector<DVec3d>& normals);

// Whether transform is the identity bit for bit: ones on the diagonal and +0 everywhere else,
// the translation included (a -0 entry changes the signs of zero results).
bool IsExactIdentity(const Transform& transform);

// MoveMeshByMatrix under the exact identity, with the same bits: each finite coordinate only
// has a zero added, and a normal skips the matrix product but not the unit length. Points
// (or normals) with any non-finite coordinate are all moved by the matrix path.
void MoveMeshByIdentity(bvector<DPoint3d>& points, bvector<DVec3d>& normals);

// Makes every normal a unit vector, with the bits of vector_math::Normalized on each (a zero
// normal stays zero).
void MakeUnitNormals(bvector<DVec3d>& normals);

// MoveMeshByIdentity for the exact identity, else MoveMeshByMatrix.
void MoveMesh(const Transform& transform, bvector<DPoint3d>& points, bvector<DVec3d>& normals);

}  // namespace host
