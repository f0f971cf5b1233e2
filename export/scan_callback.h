// The per-element step of the export: facets one element and, when that gives meshes,
// writes its element folder with its three records.
#pragma once

#include "host/scan_criteria.h"

// The element scan callback. argument is the main output folder path (wchar_t const*),
// owned by the export command. Always returns 0, so the scan goes on whatever happened to
// this element.
int exportElement(ElementRefBase* elementRef, CallbackArgP argument, ScanCriteria* criteria);
