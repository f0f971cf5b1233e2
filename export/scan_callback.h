// The per-element step of the export: facets one element and, when that gives meshes,
// writes its element folder with its three records.
#pragma once

#include <string>
#include <unordered_map>

#include "host/polyface.h"
#include "host/scan_criteria.h"
#include "host/wstring.h"

// What one export shares between its element scans: the main output folder, and which
// element took each element folder, so that two elements whose folder names come out the
// same never overwrite each other. Owned by the export command for one export.
struct ExportRun {
  WString mainFolder;
  std::unordered_map<std::wstring, std::wstring> folderOwners;  // folder name -> element
};

// The facet options of the export, made anew for every element: every facet a triangle, on
// planes and curved surfaces alike (the geometry record reads the point indices in blocks of
// four), and normals asked for.
IFacetOptionsPtr createExportFacetOptions();

// The element scan callback. argument is the export's ExportRun, owned by the export command.
// An element whose folder name another element of this export already took is reported and
// left out; the first element's records stay. Always returns 0, so the scan goes on whatever
// happened to this element.
int exportElement(ElementRefBase* elementRef, CallbackArgP argument, ScanCriteria* criteria);
