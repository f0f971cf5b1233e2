// The per-element step of the export: facets one element and, when that gives meshes,
// writes its element folder with its three records.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "host/polyface.h"
#include "host/scan_criteria.h"
#include "host/wstring.h"

// The facet options of the export, made anew for every element: every facet a triangle, on
// planes and curved surfaces alike (the geometry record reads the point indices in blocks of
// four), and normals asked for.
IFacetOptionsPtr createExportFacetOptions();

// What the scans of one export share: where the records go, which element took each element
// folder (so that two elements whose folder names come out the same never overwrite each
// other), and the counts that the host's status service is given.
struct ExportScan {
  WString mainFolder;
  std::unordered_map<std::wstring, std::wstring> folderOwners;  // folder path -> element
  int64_t elementsDone = 0;                                     // elements the scans went through
  int64_t elementsWritten = 0;  // elements whose records were written
  int64_t foldersWritten = 0;   // element folders made
};

// The element scan callback. argument is the export's ExportScan, owned by the export
// command; each element counts as done and is reported to the status service. An element
// whose folder name another element of this export already took is reported and left out;
// the first element's records stay. Always returns 0, so the scan goes on whatever happened
// to this element.
int exportElement(ElementRefBase* elementRef, CallbackArgP argument, ScanCriteria* criteria);
