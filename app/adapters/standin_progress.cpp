#include "app/adapters/standin_progress.h"

#include "standin/shell/status_service.h"

namespace {

class TerminalProgress final : public Progress {
 public:
  void Begin(const char* label, int64_t total) override { host::BeginTask(label, total); }
  void Step(int64_t done) override { host::UpdateTask(done); }
  void End(int64_t elementsWritten, int64_t foldersWritten, int64_t elementsFailed) override {
    host::EndTask(elementsWritten, foldersWritten, elementsFailed);
  }
};

}  // namespace

Progress& StandInProgress() {
  static TerminalProgress progress;
  return progress;
}
