// What the host needs to know of the current locale's encoding of narrow text. Internal to
// the host.
#pragma once

#include "inside.h"  // first: stops any source outside the stand-in

#include <langinfo.h>

#include <cstring>

namespace host {

// Whether the current locale's encoding writes each character below U+0080 as that one byte
// and keeps no shift state (UTF-8 and ASCII, the encodings of "C.UTF-8" and "C"). Such
// characters, most of every path and name, then need no conversion call of their own, and a
// narrow text of them alone is its wide text byte for byte.
inline bool LocaleKeepsAscii() {
  const char* codeset = nl_langinfo(CODESET);
  return std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
}

}  // namespace host
