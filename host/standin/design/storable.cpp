#include "standin/design/storable.h"

#include <cmath>
#include <vector>

#include "standin/design/design_values.h"

namespace host {

namespace {

bool allStorable(const std::vector<DPoint3d>& points) {
  for (const DPoint3d& point : points)
    if (!IsStorablePoint(point)) return false;
  return true;
}

bool storableTransform(const Transform& transform) {
  for (const auto& row : transform.form3d)
    for (double value : row)
      if (!IsStorableValue(value)) return false;
  return true;
}

}  // namespace

bool IsStorableValue(double value) {
  return std::isfinite(value) && std::fabs(value) <= design_json::kMaxGeometryValue;
}

bool IsStorablePoint(const DPoint3d& point) {
  return IsStorableValue(point.x) && IsStorableValue(point.y) && IsStorableValue(point.z);
}

// Members that a type doesn't use keep their defaults, which are storable, so every member is
// checked whatever the type.
bool IsStorable(const Element& element) {
  if (!allStorable(element.points) || !allStorable(element.profile)) return false;
  const DPoint3d singles[] = {element.origin, element.base, element.top, element.center,
                              element.vector};
  for (const DPoint3d& point : singles)
    if (!IsStorablePoint(point)) return false;
  for (double value : {element.baseRadius, element.topRadius, element.radius})
    if (!IsStorableValue(value)) return false;
  if (!storableTransform(element.transform)) return false;
  for (const auto& child : element.children)
    if (!IsStorable(*child)) return false;
  return true;
}

}  // namespace host
