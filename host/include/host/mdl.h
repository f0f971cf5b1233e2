// The host's application family: registering commands, loading the key-in table, the
// message window, and a few C-style helpers.
#pragma once

#include "host/dgn_model.h"
#include "host/host_types.h"

using CmdHandler = void (*)(WCharCP argument);

// One entry of an application's command number table; the table ends with an entry whose
// two fields are both zero.
struct MdlCommandNumber {
  CmdHandler cmdFunc;
  uint64_t cmdNumber;
};

extern "C" {
// Takes the handlers of the table (the host copies what it needs during the call).
// Non-zero when table is null.
StatusInt mdlSystem_registerCommandNumbers(MdlCommandNumber* commandNumbers);
// Loads the loading application's key-in table: the file beside its library with the
// library's name and the ending ".keyins". Non-zero when it can't be read.
StatusInt mdlParse_loadCommandTable(void* resourceFile);
// Shows text as one line in the message window.
void mdlDialog_dmsgsPrintA(const char* text);
}

// The active model reference.
DgnModelRefP mdlModelRef_getActive();

// Converts wide text to locale text into out (outSize bytes), as
// BeStringUtilities::WCharToCurrentLocaleChar does; length -1 takes the whole text.
// Returns 0, or non-zero when out is null or outSize is not positive.
StatusInt mdlCnv_convertUnicodeToMultibyte(WCharCP in, int length, char* out, int outSize);
