// Writes designs back in the design format, so that a design written and read again is the
// same design.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <string>

#include "standin/design/design.h"

namespace host {

// The design as design text (UTF-8 JSON).
std::string DesignToText(const DesignFile& design);

// Appends one element as design text, starting with `indent` spaces and ending without a
// comma or newline. Members that hold their defaults are left out; a cell's children go on
// lines of their own, indented two more. Lets a large design be streamed out element by
// element.
void AppendElementText(const Element& element, int indent, std::string* out);

// Saves the design as localPath through the current file system, atomically: the text goes to
// a temporary file beside it, is flushed to the disk, and is renamed over the old file. So
// the file at localPath is at every moment the old design or the new one. False with *error
// set when the save fails; the old design is then left byte for byte and no temporary file
// remains (except when only the final sync of the folder failed, which *error says).
// When localPath is a symbolic link (or a chain of them), the file it leads to is the one
// replaced, the same way, and the link stays; a link that leads to nothing or a loop of links
// fails the save before anything is written.
bool SaveDesignFile(const DesignFile& design, const std::string& localPath, std::string* error);

}  // namespace host
