// The tests, the benchmarks and the import's fuzz target run the application's layers in
// their own process, where no host loads the module and calls MdlMain: the stand-in's
// adapters that the layers need are connected here, before main runs, as MdlMain connects
// them.
#include "app/adapters/standin_record_files.h"

namespace {

const bool kConnected = [] {
  ConnectRecordFiles(&StandInRecordFiles());
  return true;
}();

}  // namespace
