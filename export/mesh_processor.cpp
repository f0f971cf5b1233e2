#include "export/mesh_processor.h"

bool MeshProcessor::_ProcessAsFacets(bool /*isPolyface*/) { return true; }

bool MeshProcessor::_ProcessAsBody(bool /*isCurved*/) { return false; }

void MeshProcessor::_AnnounceTransform(Transform const* transform) {
  if (transform)
    m_transform = *transform;
  else
    m_transform.InitIdentity();
}

BentleyStatus MeshProcessor::_ProcessFacets(PolyfaceQueryCR meshData, bool /*isFilled*/) {
  PolyfaceHeaderPtr copy = PolyfaceHeader::CreateVariableSizeIndexed();
  copy->CopyFrom(meshData);
  copy->Transform(m_transform, true);
  m_meshes.push_back(copy);
  return SUCCESS;
}

IFacetOptions* MeshProcessor::_GetFacetOptionsP() { return m_options; }

void releaseMeshes(bvector<PolyfaceHeaderPtr>& meshes) {
  while (!meshes.empty()) meshes.pop_back();
}

bool collectMeshes(bvector<PolyfaceHeaderPtr>& meshes, ElementHandleCR element,
                   IFacetOptions* options) {
  releaseMeshes(meshes);
  MeshProcessor processor(meshes, options);
  ElementGraphicsOutput::Process(element, processor, nullptr);
  return !meshes.empty();
}
