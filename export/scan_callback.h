// The per-element step of the export: facets one element and, when that gives meshes,
// writes its element folder with its three records.
#pragma once

#include "host/polyface.h"
#include "host/scan_criteria.h"

// The facet options of the export, made anew for every element: every facet a triangle, on
// planes and curved surfaces alike (the geometry record reads the point indices in blocks of
// four), and normals asked for.
IFacetOptionsPtr createExportFacetOptions();

// The element scan callback. argument is the main output folder path (wchar_t const*),
// owned by the export command. Always returns 0, so the scan goes on whatever happened to
// this element.
int exportElement(ElementRefBase* elementRef, CallbackArgP argument, ScanCriteria* criteria);
