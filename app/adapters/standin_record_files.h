// The stand-in host's record files: its own file calls (BeFile, and BeFileName::BeDeleteFile),
// which open a file by its wide name and go through the stand-in's file system, where tests
// inject faults. Only the loadable module and the tests link it.
#pragma once

#include "app/ports/record_files.h"

// The one set of record files of the loaded application.
RecordFiles& StandInRecordFiles();
