// Gathers an element's meshes: the graphics processor that keeps a placed copy of every
// facet set the host delivers, and the operation that runs it over one element.
#pragma once

#include "host/element_graphics.h"
#include "host/element_handle.h"
#include "host/geometry.h"
#include "host/host_types.h"
#include "host/polyface.h"

// Lives for one collectMeshes call. Answers the host so that every piece of geometry arrives
// as facet sets, and appends to meshes a copy of each one moved by the placement announced
// last (the identity before any announcement).
struct MeshProcessor : IElementGraphicsProcessor {
  bvector<PolyfaceHeaderPtr>& m_meshes;  // the caller's mesh list
  IFacetOptions* m_options;              // not owned; handed to the host as is
  Transform m_transform;                 // the current placement

  MeshProcessor(bvector<PolyfaceHeaderPtr>& meshes, IFacetOptions* options)
      : m_meshes(meshes), m_options(options) {}

  bool _ProcessAsFacets(bool isPolyface) override;
  bool _ProcessAsBody(bool isCurved) override;
  // Replaces the current placement; null resets it to the identity.
  void _AnnounceTransform(Transform const* transform) override;
  // Appends a placed copy of meshData; returns SUCCESS.
  BentleyStatus _ProcessFacets(PolyfaceQueryCR meshData, bool isFilled) override;
  IFacetOptions* _GetFacetOptionsP() override;
};

// Empties meshes, releasing its facet sets last to first, as they were taken; its room stays.
void releaseMeshes(bvector<PolyfaceHeaderPtr>& meshes);

// Empties meshes (releaseMeshes), then fills it with the element's facet sets in delivery order,
// each in model coordinates, faceted with options (null: the host's defaults). True when meshes
// holds at least one facet set afterwards.
bool collectMeshes(bvector<PolyfaceHeaderPtr>& meshes, ElementHandleCR element,
                   IFacetOptions* options);
