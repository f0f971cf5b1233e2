// What a design file can hold: the numbers that the loader accepts back. The host refuses to
// add an element that a save would write and the loader would then refuse. Internal to the
// host.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include "host/geometry.h"
#include "standin/design/design.h"

namespace host {

// A coordinate, radius or transform entry that the loader reads back: finite and at most
// design_json::kMaxGeometryValue in size.
bool IsStorableValue(double value);
bool IsStorablePoint(const DPoint3d& point);

// Whether every geometry number of the element, its children included, is storable.
bool IsStorable(const Element& element);

}  // namespace host
