// The design loader's fast path: reads design text in one pass straight into the design,
// with no document tree, so that loading takes a fraction of the time and memory of
// building one. It names no faults: on any fault, and on any text whose reading by the
// document reader it can't be sure to match, it gives up and the loader reads the text
// through the document reader, which accepts, refuses and reports exactly as it always has.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <string_view>

#include "standin/design/design.h"

namespace host {

// Reads text into design, a new design from NewDesignFile. True when the design is read
// and is exactly what the document reader would make of the text; false otherwise, and
// design is then in an unspecified state and is to be thrown away.
bool StreamDesign(std::string_view text, DesignFile* design);

}  // namespace host
