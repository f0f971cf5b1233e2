// The import command: the geometry records in the sub-folders of a folder become coloured
// mesh elements of the active model.
#pragma once

#include "host/host_types.h"

// Command handler; folderName is the text given with the command.
void importCommand(WCharCP folderName);

// Imports the geo.json of one sub-folder; subFolderPath ends with a backslash. True when a
// mesh element was added to the active model; false when the record was refused (a message
// says why) or the model didn't take the element.
bool importGeometryRecord(WCharCP subFolderPath);
