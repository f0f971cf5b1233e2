// The per-element step of the export: facets one element and, when that gives meshes,
// writes its element folder with its three records.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "export/record_write_behind.h"
#include "host/polyface.h"
#include "host/scan_criteria.h"
#include "host/wstring.h"
#include "records/base.h"
#include "records/output_folders.h"

// The facet options of the export, made anew for every element: every facet a triangle, on
// planes and curved surfaces alike (the geometry record reads the point indices in blocks of
// four), and normals asked for.
IFacetOptionsPtr createExportFacetOptions();

// The elements that took each element folder of an export, so that two elements whose
// folder names come out the same never overwrite each other. Folders are told apart by the
// name prefix their model gives and the element id; the owner is described only when a
// second element asks for its folder.
class FolderClaims {
 public:
  struct Owner {
    const DgnModel* model;
    ElementId id;
  };
  // The claims of the folders whose names start with namePrefix, kept for the whole export.
  using PrefixClaims = std::unordered_map<ElementId, Owner>;
  PrefixClaims& ForPrefix(const WString& namePrefix) { return m_byPrefix[namePrefix.c_str()]; }
  // The owner of id's folder under a prefix other than namePrefix that differs from it only in
  // the case of its letters, if any: the likely owner of a folder that the file system found
  // taken by a name that folds to the same (on Windows "Walls" and "walls").
  const Owner* FindCaseFolded(const WString& namePrefix, ElementId id) const;

 private:
  std::unordered_map<std::wstring, PrefixClaims> m_byPrefix;
};

// What the scans of one export share: where the records go, the folder claims, the element
// folder's names for the model being scanned, the writing of the folders and records, and the
// counts that the host's status service is given.
struct ExportScan {
  WString mainFolder;
  FolderClaims claims;
  const DgnModel* namedModel = nullptr;               // the model that namer and claims are for
  std::unique_ptr<ModelFolderNamer> namer;            // names namedModel's element folders
  FolderClaims::PrefixClaims* modelClaims = nullptr;  // the claims of namer's prefix
  bvector<PolyfaceHeaderPtr> meshes;  // the element's facet sets, emptied after each element
  int64_t elementsDone = 0;           // elements the scans went through
  // Last, so that whatever an exception leaves queued is written while the rest still stands.
  RecordWriteBehind writing;
};

// The element scan callback. argument is the export's ExportScan, owned by the export
// command; each element counts as done and is reported to the status service. The element's
// records are made here and handed to scan.writing, which makes its folder and files; the
// export drains it before it counts the folders made. An element whose folder name another
// element of this export already took is reported and left out; the first element's records
// stay. So is an element whose folder the file system finds there already when it is made:
// an earlier element's folder whose name the file system takes for the same. An element whose mesh
// in millimetres isn't finite is reported and gets no geometry record. Always returns 0, so the
// scan goes on whatever happened to this element.
int exportElement(ElementRefBase* elementRef, CallbackArgP argument, ScanCriteria* criteria);
