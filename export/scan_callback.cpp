#include "export/scan_callback.h"

#include "app/message/message.h"
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

// "element 5 of model Default in Z:\p\Site.dgn": enough to tell apart two elements whose
// folder names come out the same.
std::wstring describeElement(ElementHandleCR element) {
  const DgnModel* model = element.GetDgnModelP();
  std::wstring text = L"element " + std::to_wstring(element.GetElementId());
  if (!model) return text;
  text += L" of model ";
  text += model->GetModelName();
  if (const DgnFile* file = model->GetDgnFileP()) {
    text += L" in ";
    text += file->GetFileName().c_str();
  }
  return text;
}

// False, with a message naming the folder and both elements, when an earlier element of this
// export took the folder that this element's name comes out as.
bool claimFolder(ExportScan& scan, ElementHandleCR element) {
  const std::wstring folder = elementFolderPath(scan.mainFolder.c_str(), element).c_str();
  const std::wstring self = describeElement(element);
  auto [owner, fresh] = scan.folderOwners.emplace(folder, self);
  if (fresh) return true;
  printMessage("Element folder %S is taken by %S: %S is left out", folder.c_str(),
               owner->second.c_str(), self.c_str());
  return false;
}

void writeRecords(ExportScan& scan, ElementHandleCR element,
                  const bvector<PolyfaceHeaderPtr>& meshes) {
  if (!claimFolder(scan, element)) return;
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
