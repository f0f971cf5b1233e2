// Where an export's records go: one main output folder per active design file under
// C:\Temp, and inside it one element folder per exported element.
#pragma once

#include "host/element_handle.h"
#include "host/host_types.h"
#include "host/wstring.h"

// Makes the main output folder C:\Temp\<stem> for the active design file, where the stem is
// the file's name without directory and extension, less one ".i" suffix (any case). Whatever
// an earlier export left there is removed first; a missing C:\Temp is made along with it.
// Returns 0 and the path in mainFolder, or a non-zero status with mainFolder emptied. A stem
// that is empty, "." or ".." would name C:\Temp or a folder above it: that is refused with a
// non-zero status before anything on disk is touched.
int createMainFolder(WString& mainFolder);

// Makes the element folder <mainFolder>\<file name and extension> - <model name> - <id> for the
// element's model and its design file, after removing whatever an earlier element left at that
// path. In the folder name "<" becomes "(", ">" becomes ")", and every other character that
// folder names can't hold (: " / \ | ? * and characters below U+0020) becomes "_", so the
// folder always lies directly inside the main output folder. elementFolder receives the path
// in any case; the result is the creation's status, 0 for success. An absent or empty
// mainFolder, or an element without a model, gives a non-zero status and touches nothing.
int createElementFolder(WString& elementFolder, WCharCP mainFolder, ElementHandleCR element);

// The path that createElementFolder gives the element's folder, without touching the disk.
WString elementFolderPath(WCharCP mainFolder, ElementHandleCR element);

// The element code: the part of the element folder path after its last backslash (the whole
// path when it has none), as locale text, kept whole however long it is.
void getElementCode(WCharCP elementFolderPath, AString& code);
