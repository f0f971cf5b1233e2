#include "export/scan_callback.h"

#include <algorithm>
#include <cwctype>
#include <string_view>

#include "app/message/message.h"
#include "app/ports/progress.h"
#include "export/mesh_processor.h"
#include "host/element_handle.h"
#include "host/polyface.h"
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

const FolderClaims::Owner* FolderClaims::FindCaseFolded(const WString& namePrefix,
                                                        ElementId id) const {
  const auto folded = [](std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
  };
  for (const auto& [prefix, claims] : m_byPrefix) {
    if (prefix == namePrefix.c_str() || !folded(prefix, namePrefix.c_str())) continue;
    if (auto owner = claims.find(id); owner != claims.end()) return &owner->second;
  }
  return nullptr;
}

namespace {

// "element 5 of model Default in Z:\\p\\Site.dgn": enough to tell apart two elements whose
// folder names come out the same.
std::wstring describeElement(const DgnModel* model, ElementId id) {
  std::wstring text = L"element " + std::to_wstring(id);
  if (!model) return text;
  text += L" of model ";
  text += model->GetModelName();
  if (const DgnFile* file = model->GetDgnFileP()) {
    text += L" in ";
    text += file->GetFileName().c_str();
  }
  return text;
}

void reportFolderTaken(const WString& path, const std::wstring& owner, const DgnModel* model,
                       ElementId id) {
  printMessage("Element folder %S is taken by %S: %S is left out", path.c_str(), owner.c_str(),
               describeElement(model, id).c_str());
}

// Fills folder with the element's folder. False, with a message naming the folder and both
// elements, when an earlier element of this export took that folder. The message follows
// those of the elements before, so their writing is waited for first.
bool claimFolder(ExportScan& scan, const DgnModel& model, ElementId id, RecordFolder& folder) {
  if (scan.namedModel != &model) {
    scan.namer = std::make_unique<ModelFolderNamer>(scan.mainFolder, model);
    scan.modelClaims = &scan.claims.ForPrefix(scan.namer->NamePrefix());
    scan.namedModel = &model;
  }
  scan.namer->Name(id, folder);
  auto [owner, fresh] = scan.modelClaims->emplace(id, FolderClaims::Owner{&model, id});
  if (fresh) return true;
  scan.writing.Drain();
  reportFolderTaken(folder.path, describeElement(owner->second.model, owner->second.id), &model,
                    id);
  return false;
}

// The element whose folder was found there already when its own was made; the message
// follows those of the elements before.
void reportFolderFoundTaken(ExportScan& scan, const DgnModel& model, ElementId id,
                            const RecordFolder& folder) {
  scan.writing.Drain();
  const FolderClaims::Owner* owner = scan.claims.FindCaseFolded(scan.namer->NamePrefix(), id);
  reportFolderTaken(folder.path,
                    owner ? describeElement(owner->model, owner->id)
                          : std::wstring(L"a folder of the same name to the file system"),
                    &model, id);
}

void writeRecords(ExportScan& scan, ElementHandleCR element,
                  const bvector<PolyfaceHeaderPtr>& meshes) {
  const DgnModel* model = element.GetDgnModelP();
  ElementRecords& records = scan.writing.Next();
  // An element without a model has no folder name; its folder can't be made, which shows
  // when its record files can't be written.
  if (!model) {
    WString elementFolder;
    createElementFolder(elementFolder, scan.mainFolder.c_str(), element);
    records.folder = RecordFolder(elementFolder);
    records.makeFolder = false;
  } else if (!claimFolder(scan, *model, element.GetElementId(), records.folder)) {
    return;
  }
  using File = ElementRecords::File;
  records.texts[File::Geometry] =
      geometryRecordText(records.buffers[File::Geometry], records.folder, element, meshes);
  // A mesh too large for a double in millimetres gives no geometry record; the element's
  // other records are still written. The message follows those of the elements before.
  if (records.texts[File::Geometry].data() == nullptr) {
    scan.writing.Drain();
    printMessage("Invalid geometry of %S: its mesh in millimetres is not finite",
                 describeElement(model, element.GetElementId()).c_str());
  }
  records.texts[File::Component] =
      componentRecordText(records.buffers[File::Component], records.folder, element);
  records.texts[File::Attribute] =
      attributeRecordText(records.buffers[File::Attribute], records.folder, element);
  scan.writing.Hand();
  if (records.folderTaken)
    reportFolderFoundTaken(scan, *model, element.GetElementId(), records.folder);
}

}  // namespace

int exportElement(ElementRefBase* elementRef, CallbackArgP argument, ScanCriteria* criteria) {
  ElementHandle element(elementRef, criteria->GetModelRef());
  IFacetOptionsPtr options = createExportFacetOptions();
  ExportScan& scan = *static_cast<ExportScan*>(argument);
  // The list is the export's, so that its room serves every element; the facet sets
  // themselves are released, last to first, as soon as the element is written.
  bvector<PolyfaceHeaderPtr>& meshes = scan.meshes;
  if (collectMeshes(meshes, element, options.get())) writeRecords(scan, element, meshes);
  releaseMeshes(meshes);
  stepProgress(++scan.elementsDone);
  return 0;
}
