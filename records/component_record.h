// The component record (component.json): the identity of one exported element.
#pragma once

#include "host/element_handle.h"
#include "host/wstring.h"

// Writes elementFolder\component.json for element: its element code, the references to its
// geometry and attribute records, its id, an identity matrix, the host's description, a
// revision and a type tag.
void writeComponentRecord(const WString& elementFolder, ElementHandleCR element);
