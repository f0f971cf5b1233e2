#include "tools/gltf/gltf_writer.h"

#include <json/reader.h>
#include <json/writer.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <sstream>
#include <string_view>

#include "standin/files/file_system.h"
#include "standin/files/system.h"
#include "tools/path_text.h"
#include "tools/utf8_sequence.h"

namespace gltf {

namespace fs = std::filesystem;

namespace {

// A binary glTF file states its length in 32 bits.
constexpr size_t kMaxFileBytes = 0xFFFFFFFF;

void pad(std::vector<unsigned char>* data) { data->resize((data->size() + 3) / 4 * 4, 0); }

}  // namespace

std::string validUtf8(const std::string& text) {
  std::string valid;
  valid.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (const size_t length = tools::Utf8SequenceLength(text, i); length != 0) {
      valid.append(text, i, length);
      i += length;
    } else {
      valid += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return valid;
}

Json::Value extrasValue(const Json::Value& value) {
  switch (value.type()) {
    case Json::stringValue:
      return Json::Value(validUtf8(value.asString()));
    case Json::arrayValue: {
      Json::Value array(Json::arrayValue);
      for (const Json::Value& entry : value) array.append(extrasValue(entry));
      return array;
    }
    case Json::objectValue: {
      Json::Value object(Json::objectValue);
      for (auto it = value.begin(); it != value.end(); ++it) {
        object[validUtf8(it.name())] = extrasValue(*it);
      }
      return object;
    }
    default:
      return value;
  }
}

GlbBuilder::GlbBuilder() {
  m_model.asset.version = "2.0";
  m_model.asset.generator = "tolvane-gltf";
  m_model.buffers.emplace_back();
  tinygltf::Node root;
  root.name = "export";
  // Column-major: the records' Z axis becomes glTF's Y axis, their Y axis points to -Z.
  root.matrix = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
  m_model.nodes.push_back(std::move(root));
  m_extras.emplace_back();
  tinygltf::Scene scene;
  scene.nodes = {0};
  m_model.scenes.push_back(std::move(scene));
  m_model.defaultScene = 0;
}

int GlbBuilder::material(const std::array<double, 4>& color) {
  auto [it, added] = m_materials.try_emplace(color, static_cast<int>(m_model.materials.size()));
  if (added) {
    tinygltf::Material material;
    material.pbrMetallicRoughness.baseColorFactor.assign(color.begin(), color.end());
    material.pbrMetallicRoughness.metallicFactor = 0;  // building parts are not polished metal
    material.alphaMode = color[3] < 1 ? "BLEND" : "OPAQUE";
    material.doubleSided = true;
    m_model.materials.push_back(std::move(material));
  }
  return it->second;
}

int GlbBuilder::appendView(const void* data, size_t bytes, int target) {
  std::vector<unsigned char>& buffer = m_model.buffers[0].data;
  tinygltf::BufferView view;
  view.buffer = 0;
  view.byteOffset = buffer.size();
  view.byteLength = bytes;
  view.target = target;
  const auto* first = static_cast<const unsigned char*>(data);
  buffer.insert(buffer.end(), first, first + bytes);
  pad(&buffer);
  m_model.bufferViews.push_back(view);
  return static_cast<int>(m_model.bufferViews.size() - 1);
}

void GlbBuilder::add(const ElementRecords& element) {
  const size_t points = element.positions.size() / 3;
  std::array<double, 3> low, high;
  low.fill(std::numeric_limits<double>::infinity());
  high.fill(-std::numeric_limits<double>::infinity());
  for (size_t i = 0; i < points * 3; ++i) {
    const double metres = element.positions[i] / 1000.0;
    low[i % 3] = std::min(low[i % 3], metres);
    high[i % 3] = std::max(high[i % 3], metres);
  }
  std::vector<double> centre(3);
  for (size_t axis = 0; axis < 3; ++axis) centre[axis] = low[axis] + (high[axis] - low[axis]) / 2;

  std::vector<float> relative(points * 3);
  std::vector<double> minimum(3, std::numeric_limits<double>::infinity());
  std::vector<double> maximum(3, -std::numeric_limits<double>::infinity());
  for (size_t i = 0; i < points * 3; ++i) {
    relative[i] = static_cast<float>(element.positions[i] / 1000.0 - centre[i % 3]);
    minimum[i % 3] = std::min<double>(minimum[i % 3], relative[i]);
    maximum[i % 3] = std::max<double>(maximum[i % 3], relative[i]);
  }

  tinygltf::Accessor positions;
  positions.bufferView =
      appendView(relative.data(), relative.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
  positions.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
  positions.count = points;
  positions.type = TINYGLTF_TYPE_VEC3;
  positions.minValues = std::move(minimum);
  positions.maxValues = std::move(maximum);
  m_model.accessors.push_back(std::move(positions));

  tinygltf::Accessor indices;
  indices.bufferView = appendView(element.indices.data(), element.indices.size() * 4,
                                  TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
  indices.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
  indices.count = element.indices.size();
  indices.type = TINYGLTF_TYPE_SCALAR;
  m_model.accessors.push_back(std::move(indices));

  const int accessors = static_cast<int>(m_model.accessors.size());
  tinygltf::Primitive primitive;
  primitive.attributes["POSITION"] = accessors - 2;
  primitive.indices = accessors - 1;
  primitive.material = material(element.color);
  primitive.mode = TINYGLTF_MODE_TRIANGLES;
  tinygltf::Mesh mesh;
  mesh.name = validUtf8(element.code);
  mesh.primitives.push_back(std::move(primitive));
  m_model.meshes.push_back(std::move(mesh));

  tinygltf::Node node;
  node.name = m_model.meshes.back().name;
  node.mesh = static_cast<int>(m_model.meshes.size() - 1);
  node.translation = std::move(centre);
  Json::Value extras;
  if (!element.component.isNull()) extras["component"] = extrasValue(element.component);
  if (!element.attributes.isNull()) extras["attributes"] = extrasValue(element.attributes);
  m_model.nodes.push_back(std::move(node));
  m_extras.push_back(std::move(extras));
  m_model.nodes[0].children.push_back(static_cast<int>(m_model.nodes.size() - 1));
}

// tinygltf writes the model's JSON without the buffer's bytes (held apart meanwhile, and put
// back however the writing ends) and without extras; the extras go in here, as JSON values of
// their own.
std::string GlbBuilder::jsonText() {
  std::string text;
  {
    struct HeldApart {
      std::vector<unsigned char>& data;
      std::vector<unsigned char> held;
      explicit HeldApart(std::vector<unsigned char>& bytes) : data(bytes) { held.swap(data); }
      ~HeldApart() { held.swap(data); }
    } bytes(m_model.buffers[0].data);
    std::ostringstream stream;
    tinygltf::TinyGLTF writer;
    writer.WriteGltfSceneToStream(&m_model, stream, false, false);
    text = stream.str();
  }
  Json::Value document;
  Json::CharReaderBuilder readerBuilder;
  const std::unique_ptr<Json::CharReader> reader(readerBuilder.newCharReader());
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), &document, &errors) ||
      !document.isObject()) {
    return std::string();
  }
  Json::Value buffer(Json::objectValue);
  buffer["byteLength"] = Json::UInt64(m_model.buffers[0].data.size());
  document["buffers"][0] = buffer;
  for (size_t node = 0; node < m_extras.size(); ++node) {
    if (!m_extras[node].isNull())
      document["nodes"][Json::ArrayIndex(node)]["extras"] = m_extras[node];
  }
  Json::StreamWriterBuilder writerBuilder;
  writerBuilder["indentation"] = "";
  writerBuilder["emitUTF8"] = true;
  return Json::writeString(writerBuilder, document);
}

namespace {

void appendWord(std::string* out, uint32_t word) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<char>(word >> shift));
}

size_t padded(size_t bytes) { return (bytes + 3) / 4 * 4; }

// Writes the file and renames it over path; removes it on any failure.
host::FileStatus writeAndRename(host::FileSystem& files, const std::string& partial,
                                const std::string& path, const std::string& head,
                                const std::vector<unsigned char>& binary) {
  std::unique_ptr<host::WritableFile> file;
  host::FileStatus status = files.NewWritableFile(partial, &file);
  if (!status.ok()) return status;
  const std::string_view bytes(reinterpret_cast<const char*>(binary.data()), binary.size());
  const std::string tail(padded(binary.size()) - binary.size(), '\0');
  for (std::string_view part : {std::string_view(head), bytes, std::string_view(tail)}) {
    if (status.ok() && !part.empty()) status = file->Append(part);
  }
  if (status.ok()) status = file->Sync();
  const host::FileStatus closed = file->Close();
  if (status.ok()) status = closed;
  if (status.ok()) status = files.RenameFile(partial, path);
  if (!status.ok()) files.RemoveFile(partial);
  return status;
}

}  // namespace

// The binary: a 12-byte header, the JSON chunk (padded with blanks) and the BIN chunk
// (padded with zeros), each chunk 4-byte aligned and led by its length and type.
std::string GlbBuilder::write(const fs::path& path) {
  const std::string name = tools::PathText(path);
  const std::string tooLarge = name + ": the model exceeds the 4 GiB of a binary glTF file";
  const std::vector<unsigned char>& binary = m_model.buffers[0].data;
  if (binary.size() > kMaxFileBytes) return tooLarge;
  std::string json = jsonText();
  if (json.empty()) return name + ": can't be written (the model's JSON can't be formed)";
  json.resize(padded(json.size()), ' ');
  const uint64_t binChunk = binary.empty() ? 0 : 8 + padded(binary.size());
  const uint64_t total = 12 + 8 + uint64_t{json.size()} + binChunk;
  if (total > kMaxFileBytes) return tooLarge;

  std::string head;
  head.reserve(28 + json.size());
  head += "glTF";
  appendWord(&head, 2);
  appendWord(&head, static_cast<uint32_t>(total));
  appendWord(&head, static_cast<uint32_t>(json.size()));
  head += "JSON";
  head += json;
  if (!binary.empty()) {
    appendWord(&head, static_cast<uint32_t>(padded(binary.size())));
    head.append("BIN\0", 4);
  }
  // Each process writes a partial file of its own, so that two conversions to one output at
  // once never rename each other's half-written file into place.
  const std::string partial = name + ".part-" + std::to_string(host::CurrentProcessId());
  const host::FileStatus status =
      writeAndRename(host::CurrentFileSystem(), partial, name, head, binary);
  if (!status.ok()) return name + ": can't be written (" + status.message() + ")";
  return {};
}

int convertExport(const fs::path& folder, const fs::path& out, std::ostream& problems) {
  std::vector<fs::path> folders;
  try {
    folders = elementFolders(folder);
  } catch (const fs::filesystem_error& error) {
    problems << tools::PathText(folder) << ": can't be listed (" << error.code().message() << ")\n";
    return 2;
  }
  GlbBuilder builder;
  std::vector<std::string> faults;
  bool skipped = false;
  for (const fs::path& elementFolder : folders) {
    ElementRecords element;
    if (readElement(elementFolder, &element, &faults)) builder.add(element);
    skipped = skipped || !faults.empty();
    for (const std::string& fault : faults) problems << fault << '\n';
    faults.clear();
  }
  if (builder.elementCount() == 0) {
    problems << tools::PathText(folder) << ": no element record could be read; nothing written\n";
    return 2;
  }
  if (std::string fault = builder.write(out); !fault.empty()) {
    problems << fault << '\n';
    return 3;
  }
  return skipped ? 4 : 0;
}

}  // namespace gltf
