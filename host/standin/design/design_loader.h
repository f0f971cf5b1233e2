// Reads design files: UTF-8 JSON documents (comments allowed) in the stand-in host's design
// format. Loading is all or nothing: an error stops it with one message that names the file
// and the JSON place, and nothing is half-loaded.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <memory>
#include <string>

#include "standin/design/design.h"

namespace host {

// Loads the design file at localPath (through the current file system). On success the
// design's localPath and windowsPath are set. On failure returns null and sets *error, e.g.
// "Site.dgn: models[0].elements[3].faces[1][2]: index 7 names no point (the element has 4)".
std::unique_ptr<DesignFile> LoadDesignFile(const std::string& localPath, std::string* error);

// Parses design text; fileLabel is the name that messages give the file. The text is read
// in one pass straight into the design; a text that pass can't be sure of (every faulty one
// among them) goes through ParseDesignDocument, which names the fault.
std::unique_ptr<DesignFile> ParseDesign(const std::string& text, const std::string& fileLabel,
                                        std::string* error);

// Parses design text through a JSON document tree: slower and larger, but the reference for
// what a design file accepts and for the message and place of every fault.
std::unique_ptr<DesignFile> ParseDesignDocument(const std::string& text,
                                                const std::string& fileLabel, std::string* error);

}  // namespace host
