#include "export/scan_callback.h"

#include "export/mesh_processor.h"
#include "host/element_handle.h"
#include "host/polyface.h"
#include "host/status_service.h"
#include "records/attribute_record.h"
#include "records/base.h"
#include "records/component_record.h"
#include "records/geometry_record.h"
#include "records/output_folders.h"

IFacetOptionsPtr createExportFacetOptions() {
  IFacetOptionsPtr options = IFacetOptions::Create();
  options->SetEdgeHiding(false);
  options->SetIgnoreFaceMaterialAttachments(true);
  options->SetMaxPerFace(3);
  options->SetCurvedSurfaceMaxPerFace(3);
  options->SetNormalsRequired(true);
  return options;
}

namespace {

void writeRecords(ExportScan& scan, ElementHandleCR element,
                  const bvector<PolyfaceHeaderPtr>& meshes) {
  WString elementFolder;
  // A folder that can't be made shows when its record files can't be written.
  if (createElementFolder(elementFolder, scan.mainFolder.c_str(), element) == 0)
    ++scan.foldersWritten;
  const RecordFolder folder(elementFolder);
  writeGeometryRecord(folder, element, meshes);
  writeComponentRecord(folder, element);
  writeAttributeRecord(folder, element);
  ++scan.elementsWritten;
}

}  // namespace

int exportElement(ElementRefBase* elementRef, CallbackArgP argument, ScanCriteria* criteria) {
  ElementHandle element(elementRef, criteria->GetModelRef());
  IFacetOptionsPtr options = createExportFacetOptions();
  bvector<PolyfaceHeaderPtr> meshes;
  ExportScan& scan = *static_cast<ExportScan*>(argument);
  if (collectMeshes(meshes, element, options.get())) writeRecords(scan, element, meshes);
  mdlStatus_updateTask(++scan.elementsDone);
  return 0;
}
