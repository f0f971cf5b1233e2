// The application's entry point, the one symbol that the library exports.
#include "app/adapters/standin_output_lock.h"
#include "app/adapters/standin_progress.h"
#include "app/adapters/standin_record_files.h"
#include "app/command_table.h"
#include "app/platform/symbols.h"
#include "host/mdl.h"

// Called once by the host when it loads the application. Hands the host the command number
// table and asks it to load the key-in table; neither result is examined, and nothing else
// happens until a command runs. The arguments are ignored. The host's adapters of the
// application's own interfaces are connected first; that touches nothing on disk.
extern "C" TOLVANE_EXPORTED void MdlMain(int /*argc*/, WCharCP /*argv*/[]) {
  ConnectOutputLocker(&StandInOutputLocker());
  ConnectProgress(&StandInProgress());
  ConnectRecordFiles(&StandInRecordFiles());
  CommandTable table = makeCommandTable();
  mdlSystem_registerCommandNumbers(table.data());
  mdlParse_loadCommandTable(nullptr);
}
