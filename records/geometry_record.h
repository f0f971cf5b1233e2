// The geometry record (geo.json): all facet sets of one element joined into one indexed
// triangle mesh in millimetres, with the element's colour and range box.
#pragma once

#include "host/element_handle.h"
#include "host/polyface.h"
#include "host/wstring.h"

// Writes elementFolder\geo.json for element from its facet sets (points in model
// coordinates, one-based signed indices, three per face and a terminator). The meshes stay
// with the caller. A file that can't be written is left to writeJsonFile.
void writeGeometryRecord(const WString& elementFolder, ElementHandleCR element,
                         const bvector<PolyfaceHeaderPtr>& meshes);
