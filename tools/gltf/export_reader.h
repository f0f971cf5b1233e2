// Reading an export's records for the glTF bridge: each element folder holds geo.json (the
// triangle mesh in millimetres and the colour), component.json (the element's identity) and
// attr.json (its property values). The reader checks everything that the glTF output relies
// on, so that a record which passes can be written without further checks.
#pragma once

#include <json/value.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gltf {

// One element as the bridge needs it.
struct ElementRecords {
  std::string code;               // the element code: the node's name
  std::vector<double> positions;  // x, y, z per point, in millimetres, each within float range
  std::vector<uint32_t> indices;  // three per triangle, each naming a point
  std::array<double, 4> color{};  // red, green, blue and opacity, each within 0 to 1
  Json::Value component;          // the component record; null when it can't be read
  Json::Value attributes;         // the attribute record's class map; null when none (an
                                  // object without classes is kept as such)
};

// Reads the JSON document in file into *document, through the host's file seam as the
// add-in reads its records: only a regular file is read (a pipe or a device is refused at
// once, without waiting or reading), and none larger than host::kMaxReadBytes. Returns an
// empty text on success, else a message naming the file and what is wrong with it (can't be
// read and why, not JSON with the line and column, not an object).
std::string readJsonFile(const std::filesystem::path& file, Json::Value* document);

// Checks the geometry record `geo` read from file and takes its mesh, colour and code into
// *element (code falls back to `folderName` when the record has none). Returns an empty text
// on success, else a message naming the file and the member at fault (e.g. "positions[4]")
// when the record can't become valid glTF: a member missing or of the wrong kind, a number
// that isn't finite, a coordinate beyond a float's range, an index that names no point.
// *element is then unspecified.
std::string takeGeometry(const Json::Value& geo, const std::filesystem::path& file,
                         const std::string& folderName, ElementRecords* element);

// Reads the three records of the element folder into *element. Returns false when the
// geometry record can't be used (the element is then to be skipped). Every problem, also
// with the component and attribute records (which only leave their part of *element
// null), is added to *problems as one line naming the file.
bool readElement(const std::filesystem::path& folder, ElementRecords* element,
                 std::vector<std::string>* problems);

// The sub-folders of folder in the byte order of their names. Throws
// std::filesystem::filesystem_error when the folder can't be listed.
std::vector<std::filesystem::path> elementFolders(const std::filesystem::path& folder);

}  // namespace gltf
