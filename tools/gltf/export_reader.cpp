#include "tools/gltf/export_reader.h"

#include <json/reader.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <sstream>

#include "standin/files/file_system.h"
#include "tools/path_text.h"

namespace gltf {

namespace fs = std::filesystem;

namespace {

std::string place(const fs::path& file, const std::string& where) {
  return tools::PathText(file) + ": " + where;
}

// The flat array of numbers under key, each finite, into *values. Returns an empty text or
// the message for the first fault.
std::string takeNumbers(const Json::Value& geo, const char* key, const fs::path& file,
                        std::vector<double>* values) {
  const Json::Value& array = geo[key];
  if (array.isNull()) return place(file, std::string("no \"") + key + "\" member");
  if (!array.isArray()) return place(file, std::string(key) + ": not an array");
  values->clear();
  values->reserve(array.size());
  for (Json::ArrayIndex i = 0; i < array.size(); ++i) {
    const Json::Value& entry = array[i];
    if (!entry.isNumeric() || !std::isfinite(entry.asDouble())) {
      return place(file, std::string(key) + "[" + std::to_string(i) + "]: not a finite number");
    }
    values->push_back(entry.asDouble());
  }
  return {};
}

// Positions become float32 in the glTF file: a coordinate beyond a float's range would be an
// infinity there (and bounds of null), which no reader takes. A coordinate within it keeps
// every value derived from it (metres, the offset from the node's centre) within it too.
std::string takePositions(const Json::Value& geo, const fs::path& file, ElementRecords* element) {
  if (std::string fault = takeNumbers(geo, "positions", file, &element->positions);
      !fault.empty()) {
    return fault;
  }
  const size_t count = element->positions.size();
  for (size_t i = 0; i < count; ++i) {
    if (std::fabs(element->positions[i]) > FLT_MAX) {
      std::ostringstream message;
      message << "positions[" << i << "]: " << element->positions[i]
              << " is beyond the range of a float";
      return place(file, message.str());
    }
  }
  if (count == 0) return place(file, "positions: no points");
  if (count % 3 != 0) {
    return place(file, "positions: " + std::to_string(count) + " numbers, not x, y, z triples");
  }
  return {};
}

std::string takeIndices(const Json::Value& geo, const fs::path& file, ElementRecords* element) {
  std::vector<double> values;
  if (std::string fault = takeNumbers(geo, "indices", file, &values); !fault.empty()) {
    return fault;
  }
  if (values.empty()) return place(file, "indices: no triangles");
  if (values.size() % 3 != 0) {
    return place(file, "indices: " + std::to_string(values.size()) + " entries, not triangles");
  }
  const double points = static_cast<double>(element->positions.size() / 3);
  element->indices.clear();
  element->indices.reserve(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const double value = values[i];
    if (value < 0 || value != std::floor(value) || value >= points) {
      std::ostringstream message;
      message << "indices[" << i << "]: " << value << " names no point (the record has " << points
              << ")";
      return place(file, message.str());
    }
    element->indices.push_back(static_cast<uint32_t>(value));
  }
  return {};
}

// Red, green and blue are required; the opacity is 1 when absent. Values are clamped to 0..1
// since a colour factor outside it is not a colour.
std::string takeColor(const Json::Value& geo, const fs::path& file, ElementRecords* element) {
  std::vector<double> values;
  if (std::string fault = takeNumbers(geo, "colors", file, &values); !fault.empty()) {
    return fault;
  }
  if (values.size() < 3) return place(file, "colors: fewer than red, green and blue");
  values.resize(4, 1.0);
  for (size_t i = 0; i < 4; ++i) element->color[i] = std::clamp(values[i], 0.0, 1.0);
  return {};
}

}  // namespace

std::string readJsonFile(const fs::path& file, Json::Value* document) {
  std::string text;
  const host::FileStatus read = host::CurrentFileSystem().ReadFile(tools::PathText(file), &text);
  if (!read.ok()) return place(file, "can't be read (" + read.reason() + ")");
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), document, &errors)) {
    std::replace(errors.begin(), errors.end(), '\n', ' ');
    return place(file, "not JSON: " + errors);
  }
  if (!document->isObject()) return place(file, "the document is not an object");
  return {};
}

std::string takeGeometry(const Json::Value& geo, const fs::path& file,
                         const std::string& folderName, ElementRecords* element) {
  const Json::Value& code = geo["code"];
  element->code = code.isString() ? code.asString() : folderName;
  for (auto take : {takePositions, takeIndices, takeColor}) {
    if (std::string fault = take(geo, file, element); !fault.empty()) return fault;
  }
  return {};
}

bool readElement(const fs::path& folder, ElementRecords* element,
                 std::vector<std::string>* problems) {
  const fs::path geoFile = folder / "geo.json";
  Json::Value geo;
  std::string fault = readJsonFile(geoFile, &geo);
  if (fault.empty())
    fault = takeGeometry(geo, geoFile, tools::PathText(folder.filename()), element);
  if (!fault.empty()) {
    problems->push_back(fault);
    return false;
  }
  element->component = Json::Value();
  if (fault = readJsonFile(folder / "component.json", &element->component); !fault.empty()) {
    problems->push_back(fault);
    element->component = Json::Value();
  }
  Json::Value attributes;
  element->attributes = Json::Value();
  if (fault = readJsonFile(folder / "attr.json", &attributes); !fault.empty()) {
    problems->push_back(fault);
  } else {
    element->attributes = attributes["attribute"];
  }
  return true;
}

std::vector<fs::path> elementFolders(const fs::path& folder) {
  std::vector<fs::path> folders;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_directory()) folders.push_back(entry.path());
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

}  // namespace gltf
