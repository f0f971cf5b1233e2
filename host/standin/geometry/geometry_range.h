// The extent of an element's geometry, for ranges that the host computes rather than reads.
// Internal to the host.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include "host/geometry.h"
#include "standin/design/design.h"

namespace host {

// The range of the element's geometry under placement (default: model coordinates): exact
// for cones and spheres, a cell through its children and their transforms, text by its
// origin. A null range when the element has no geometry (an empty cell).
DRange3d GeometryRange(const Element& element, const Transform& placement = Transform());

}  // namespace host
