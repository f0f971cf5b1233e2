// Building one glTF 2.0 binary from an export's elements. Each element becomes a node named
// by its element code, with a mesh of its triangles and a material of its colour; the node's
// extras carry the component record and the attribute values. Positions are in metres and
// stored relative to the node's translation (the centre of the element's box), so that
// float32 keeps sub-millimetre precision far from the origin. One root node turns the
// records' Z-up into glTF's Y-up.
#pragma once

#include <json/value.h>
#include <tiny_gltf.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tools/gltf/export_reader.h"

namespace gltf {

// The text with every byte sequence that is not UTF-8 replaced by U+FFFD: records hold
// locale text, and a glTF file holds UTF-8 only.
std::string validUtf8(const std::string& text);

// The JSON value as a glTF extras value: the same value, with every string and key made valid
// UTF-8. Nulls, empty objects and empty arrays stay as they are, which tinygltf's own values
// can't hold; so the builder writes the extras itself.
Json::Value extrasValue(const Json::Value& value);

// Gathers elements one at a time into a model held in memory.
class GlbBuilder {
 public:
  GlbBuilder();

  // Adds the element as the next child node of the root.
  void add(const ElementRecords& element);

  // The number of elements added.
  size_t elementCount() const { return m_model.meshes.size(); }

  // The model as it stands, for inspection; the nodes' extras are held apart (extras()).
  const tinygltf::Model& model() const { return m_model; }

  // The extras of node `node`: null when it has none.
  const Json::Value& extras(size_t node) const { return m_extras.at(node); }

  // The glTF JSON of the model, extras included, as the binary's JSON chunk holds it; empty
  // in the unexpected case that tinygltf's text of the model isn't a JSON object.
  std::string jsonText();

  // Writes the binary to path through the host's file seam, by way of a temporary file
  // beside it that is synced and then renamed over path, so that a failure leaves neither a
  // half-written file nor the temporary one. Returns an empty text on success, else a
  // message naming the file.
  std::string write(const std::filesystem::path& path);

 private:
  int material(const std::array<double, 4>& color);
  int appendView(const void* data, size_t bytes, int target);

  tinygltf::Model m_model;
  std::vector<Json::Value> m_extras;                 // by node index; null: none
  std::map<std::array<double, 4>, int> m_materials;  // colour -> material index
};

// Reads every element folder of folder and writes the binary to out. Problems with single
// records go to problems, one line each, naming the file and the place. Returns 0 when every
// record went in; 2 when the folder can't be listed or holds no usable record (no file is then
// written); 3 when the file can't be written (nothing is left at out); 4 when the file is
// written but a record was left out or only partly taken: one that can't be read (missing, a
// pipe or device, too large, not JSON) or can't become valid glTF (a number not finite, a
// coordinate beyond a float's range, an index naming no point). A message for a non-zero
// status goes to problems too.
int convertExport(const std::filesystem::path& folder, const std::filesystem::path& out,
                  std::ostream& problems);

}  // namespace gltf
