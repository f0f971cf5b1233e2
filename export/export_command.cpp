#include "export/export_command.h"

#include <memory>
#include <unordered_set>

#include "app/message/message.h"
#include "export/scan_callback.h"
#include "host/dgn_model.h"
#include "host/scan_criteria.h"
#include "records/output_folders.h"

namespace {

// Deletes scan criteria on every path, also when an exception passes.
struct ScanCriteriaDeleter {
  void operator()(ScanCriteria* criteria) const { ScanCriteria::Delete(criteria); }
};
using ScanCriteriaOwner = std::unique_ptr<ScanCriteria, ScanCriteriaDeleter>;

void scanModel(DgnModelRefP modelRef, ExportRun& run) {
  ScanCriteriaOwner criteria(ScanCriteria::Create());
  criteria->SetModelRef(modelRef);
  criteria->SetModelSections(DgnModelSections::GraphicElements);
  criteria->SetDrawnElements();
  criteria->SetElemRefCallback(exportElement, &run);
  criteria->Scan();
}

bool isMissingAttachment(DgnModelRefP modelRef) {
  return modelRef->IsDgnAttachment() && modelRef->AsDgnAttachmentCP()->IsMissingFile();
}

}  // namespace

void exportCommand(WCharCP) {
  ExportRun run;
  WString& mainFolder = run.mainFolder;
  // One retry: a folder that was just removed can still be held open for a moment.
  if (createMainFolder(mainFolder) != 0 && createMainFolder(mainFolder) != 0) {
    printMessage("createMainFolder ERROR!");
    return;
  }
  DgnModelRefP active = ISessionMgr::GetActiveDgnModelRefP();
  ReachableModelRefCollection reachable = active->GetReachableModelRefs(nullptr);
  // A model reached again by another path gives the same records: each is exported once,
  // where it is first reached.
  std::unordered_set<DgnModelP> exported;
  for (ReachableModelRefIterator it = reachable.begin(); it != reachable.end(); it.MoveToNext()) {
    DgnModelRefP modelRef = it.GetCurrent();
    if (!isMissingAttachment(modelRef) && exported.insert(modelRef->GetDgnModelP()).second)
      scanModel(modelRef, run);
  }
  printMessage("Output to %S", mainFolder.c_str());
}
