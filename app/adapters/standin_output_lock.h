// The stand-in host's lock of an export's main output folder: the lock file "<folder>.lock"
// beside the folder (C:\Temp\Site.lock for C:\Temp\Site), an empty file that is left in place,
// locked through the stand-in's file system. Only the loadable module links it.
#pragma once

#include "app/ports/output_lock.h"

// The one locker of the loaded application.
OutputLocker& StandInOutputLocker();
