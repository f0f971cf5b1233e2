// Writes designs back in the design format, so that a design written and read again is the
// same design.
#pragma once

#include "inside.h"  // first: stops any source outside the stand-in

#include <string>

#include "standin/design.h"

namespace host {

// The design as design text (UTF-8 JSON).
std::string DesignToText(const DesignFile& design);

// Appends one element as design text, starting with `indent` spaces and ending without a
// comma or newline. Members that hold their defaults are left out; a cell's children go on
// lines of their own, indented two more. Lets a large design be streamed out element by
// element.
void AppendElementText(const Element& element, int indent, std::string* out);

// Writes the design to localPath through the current file system; false with *error set
// when the file can't be written completely (a partly written file is removed).
bool SaveDesignFile(const DesignFile& design, const std::string& localPath, std::string* error);

}  // namespace host
