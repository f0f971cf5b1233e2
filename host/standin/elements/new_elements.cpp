#include "host/new_elements.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "standin/design/design.h"
#include "standin/design/inside_access.h"
#include "standin/design/storable.h"

namespace {

using Faces = std::vector<std::vector<int>>;

bool namesPoint(int32_t index, size_t pointCount) {
  return index != 0 && static_cast<size_t>(std::abs(static_cast<int64_t>(index))) <= pointCount;
}

// Faces of numPerFace indices each; false when a block is partial or an index names no
// point.
bool fixedSizeFaces(const int32_t* indices, size_t count, size_t numPerFace, size_t pointCount,
                    Faces* faces) {
  if (count % numPerFace != 0) return false;
  for (size_t start = 0; start < count; start += numPerFace) {
    std::vector<int> face(indices + start, indices + start + numPerFace);
    for (int index : face)
      if (!namesPoint(index, pointCount)) return false;
    faces->push_back(std::move(face));
  }
  return true;
}

// Faces ended by a 0 each; false for an empty face, a last face without its 0, or an
// index that names no point.
bool variableSizeFaces(const int32_t* indices, size_t count, size_t pointCount, Faces* faces) {
  std::vector<int> face;
  for (size_t i = 0; i < count; ++i) {
    if (indices[i] == 0) {
      if (face.empty()) return false;
      faces->push_back(std::move(face));
      face.clear();
    } else if (!namesPoint(indices[i], pointCount)) {
      return false;
    } else {
      face.push_back(indices[i]);
    }
  }
  return face.empty();
}

// Finite and within what a design file holds, so that a save of the mesh loads again.
bool allStorable(const DPoint3d* points, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (!host::IsStorablePoint(points[i])) return false;
  return true;
}

}  // namespace

ElementPropertiesSetterPtr ElementPropertiesSetter::Create() {
  return new ElementPropertiesSetter();
}

bool ElementPropertiesSetter::Apply(EditElementHandle& element) const {
  host::Element* target = host::Inside::NewElementOf(element);
  if (!target) return false;
  if (m_color) target->color = *m_color;
  return true;
}

BentleyStatus MeshHeaderHandler::CreateMeshElement(EditElementHandle& element,
                                                   const ElementHandle* templateElement,
                                                   PolyfaceQueryCR mesh, bool is3d,
                                                   DgnModelRef& modelRef) {
  size_t pointCount = mesh.GetPointCount();
  if (pointCount == 0 || !allStorable(mesh.GetPointCP(), pointCount)) return ERROR;
  Faces faces;
  bool facesOk = mesh.GetNumPerFace() > 0
                     ? fixedSizeFaces(mesh.GetPointIndexCP(), mesh.GetPointIndexCount(),
                                      static_cast<size_t>(mesh.GetNumPerFace()), pointCount, &faces)
                     : variableSizeFaces(mesh.GetPointIndexCP(), mesh.GetPointIndexCount(),
                                         pointCount, &faces);
  if (!facesOk || faces.empty()) return ERROR;

  auto newElement = std::make_unique<host::Element>();
  newElement->type = host::ElementType::Mesh;
  newElement->points.assign(mesh.GetPointCP(), mesh.GetPointCP() + pointCount);
  if (!is3d)
    for (auto& point : newElement->points) point.z = 0;
  newElement->faces = std::move(faces);
  if (templateElement && templateElement->IsValid())
    newElement->color = host::Inside::ElementOf(*templateElement)->color;
  host::Inside::SetNewElement(element, std::move(newElement), &modelRef);
  return SUCCESS;
}
