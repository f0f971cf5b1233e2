// Making new elements: mesh elements from polyfaces, and the properties setter that gives
// an element its symbology before it is added to a model.
#pragma once

#include <optional>

#include "host/dgn_model.h"
#include "host/element_handle.h"
#include "host/host_types.h"
#include "host/polyface.h"
#include "host/ref_counted.h"

class ElementPropertiesSetter;
using ElementPropertiesSetterPtr = RefCountedPtr<ElementPropertiesSetter>;

// Collects properties, then gives them to elements. Only what was set is changed.
class ElementPropertiesSetter : public RefCountedBase {
 public:
  static ElementPropertiesSetterPtr Create();
  // The colour id (a table index, a true colour id, or 0xFFFFFFFF for by-level).
  void SetColor(UInt32 color) { m_color = color; }
  // Gives the collected properties to the element in the handle. False when the handle holds
  // no element; true otherwise.
  bool Apply(EditElementHandle& element) const;

 private:
  ElementPropertiesSetter() = default;
  std::optional<UInt32> m_color;
};

class MeshHeaderHandler {
 public:
  // Puts a new mesh element made from mesh into element, for modelRef: the mesh's points,
  // and one face per fixed-size block (GetNumPerFace() > 0) or per 0-terminated run of
  // indices (GetNumPerFace() == 0); hidden-edge signs are kept. With a valid templateElement
  // the new element takes its colour. A 2D element (is3d false) has z = 0 everywhere.
  // Returns SUCCESS, or ERROR leaving element untouched when the mesh has no point or no
  // face, a non-finite coordinate, an index that names no point (0 inside a fixed-size
  // block, or |index| above the point count), an empty face, or a last face that the index
  // count doesn't fill (a partial block, or a run without its terminating 0).
  static BentleyStatus CreateMeshElement(EditElementHandle& element,
                                         const ElementHandle* templateElement, PolyfaceQueryCR mesh,
                                         bool is3d, DgnModelRef& modelRef);
};
