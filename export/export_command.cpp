#include "export/export_command.h"

#include <memory>
#include <unordered_set>
#include <vector>

#include "app/message/message.h"
#include "app/ports/output_lock.h"
#include "app/ports/progress.h"
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

// The model section of the graphic elements. The host documents it by its number only.
constexpr auto kGraphicElementsSection = static_cast<DgnModelSections>(4);

void scanModel(DgnModelRefP modelRef, PFScanElemRefCallback callback, CallbackArgP argument) {
  ScanCriteriaOwner criteria(ScanCriteria::Create());
  criteria->SetModelRef(modelRef);
  criteria->SetModelSections(kGraphicElementsSection);
  criteria->SetDrawnElements();
  criteria->SetElemRefCallback(callback, argument);
  criteria->Scan();
}

int countElement(ElementRefBase*, CallbackArgP argument, ScanCriteria*) {
  ++*static_cast<int64_t*>(argument);
  return 0;
}

bool isMissingAttachment(DgnModelRefP modelRef) {
  return modelRef->IsDgnAttachment() && modelRef->AsDgnAttachmentCP()->IsMissingFile();
}

// The model references to scan: the active model and those reachable from it, less missing
// attachments. A model reached again by another path gives the same records: each is
// exported once, where it is first reached.
std::vector<DgnModelRefP> modelsToScan() {
  DgnModelRefP active = ISessionMgr::GetActiveDgnModelRefP();
  ReachableModelRefCollection reachable = active->GetReachableModelRefs(nullptr);
  std::unordered_set<DgnModelP> seen;
  std::vector<DgnModelRefP> models;
  for (ReachableModelRefIterator it = reachable.begin(); it != reachable.end(); it.MoveToNext()) {
    DgnModelRefP modelRef = it.GetCurrent();
    if (!isMissingAttachment(modelRef) && seen.insert(modelRef->GetDgnModelP()).second)
      models.push_back(modelRef);
  }
  return models;
}

// Takes the lock of the main output folder, before anything removes it, into *lock. False,
// with a message naming the folder, when another export holds it: that export's records stay
// as they are. Without a connected locker, or a lock to be had, the export goes on unlocked.
bool lockMainFolder(std::unique_ptr<OutputLock>* lock) {
  OutputLocker* locker = ConnectedOutputLocker();
  WString folder;
  if (!locker || nameMainFolder(folder) != 0) return true;
  if (locker->Lock(folder.c_str(), lock) != OutputLocker::Outcome::Busy) return true;
  printMessage("Output folder %S is in use by another export: this export is stopped",
               folder.c_str());
  return false;
}

}  // namespace

void exportCommand(WCharCP) {
  // Held until the export has written its last record and returns.
  std::unique_ptr<OutputLock> lock;
  if (!lockMainFolder(&lock)) return;
  ExportScan scan;
  WString& mainFolder = scan.mainFolder;
  // One retry: a folder that was just removed can still be held open for a moment.
  if (createMainFolder(mainFolder) != 0 && createMainFolder(mainFolder) != 0) {
    printMessage("createMainFolder ERROR!");
    return;
  }
  std::vector<DgnModelRefP> models = modelsToScan();
  // The total shown with the progress: a scan that only counts costs little beside the
  // faceting and writing of each element.
  int64_t total = 0;
  for (DgnModelRefP modelRef : models) scanModel(modelRef, countElement, &total);
  beginProgress("Export", total);
  for (DgnModelRefP modelRef : models) scanModel(modelRef, exportElement, &scan);
  scan.writing.Drain();
  endProgress(scan.writing.ElementsWritten(), scan.writing.FoldersMade(),
              scan.writing.ElementsFailed());
  printMessage("Output to %S", mainFolder.c_str());
}
