#include "standin/design/design_loader.h"

#include <json/json.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <set>
#include <sstream>
#include <unordered_set>

#include "standin/design/design_stream.h"
#include "standin/design/design_values.h"
#include "standin/files/file_system.h"
#include "standin/files/paths.h"

namespace host {
namespace {

using namespace design_json;

// Reading the document into a design; each function fails with the place of the fault.
class DesignReader {
 public:
  explicit DesignReader(DesignFile* design) : m_design(*design) {}

  void Read(const Json::Value& root);

 private:
  struct ModelIds {
    std::unordered_set<uint64_t> used;
    uint64_t highest = 0;
  };

  void readLevels(const Json::Value& levels);
  void readColorTable(const Json::Value& table);
  void readTrueColors(const Json::Value& colors);
  void readClasses(const Json::Value& classes);
  void readModel(const Json::Value& value, const std::string& place);
  Attachment readAttachment(const Json::Value& value, const std::string& place);
  std::unique_ptr<Element> readElement(const Json::Value& value, const std::string& place,
                                       Model& model, ModelIds* ids);
  void readCommon(const Json::Value& value, const std::string& place, Element* element);
  void readGeometry(const Json::Value& value, const std::string& place, Model& model,
                    Element* element);
  void readFaces(const Json::Value& value, const std::string& place, Element* element);
  Instance readInstance(const Json::Value& value, const std::string& place);
  uint32_t readColor(const Json::Value& value, const std::string& place);

  DesignFile& m_design;
};

struct TypeInfo {
  const char* name;
  ElementType type;
  std::vector<const char*> members;
};

const TypeInfo kTypes[] = {
    {"line", ElementType::Line, {"points"}},
    {"linestring", ElementType::LineString, {"points"}},
    {"text", ElementType::Text, {"origin", "text"}},
    {"shape", ElementType::Shape, {"points"}},
    {"mesh", ElementType::Mesh, {"points", "faces"}},
    {"extrusion", ElementType::Extrusion, {"profile", "vector"}},
    {"cone", ElementType::Cone, {"base", "top", "baseRadius", "topRadius"}},
    {"sphere", ElementType::Sphere, {"center", "radius"}},
    {"cell", ElementType::Cell, {"name", "transform", "children"}},
};

const TypeInfo& readType(const Json::Value& element, const std::string& place) {
  std::string name = readString(require(element, place, "type"), member(place, "type"));
  for (const TypeInfo& info : kTypes)
    if (name == info.name) return info;
  fail(member(place, "type"), "unknown element type " + inQuotes(name));
}

PropertyValue readPropertyValue(const Json::Value& value, const std::string& place) {
  switch (value.type()) {
    case Json::stringValue:
      return readString(value, place);
    case Json::intValue:
      return static_cast<int64_t>(value.asInt64());
    case Json::uintValue:
      fail(place, value.asString() + " is too large for a 64-bit integer");
    case Json::realValue:
      return readFinite(value, place);
    case Json::booleanValue:
      return value.asBool();
    case Json::arrayValue:
      return readPoint(value, place);
    default:
      failType(value, place, "a string, number, boolean or point");
  }
}

void DesignReader::Read(const Json::Value& root) {
  requireObject(root, "");
  checkMembers(root, "",
               {"activeModel", "levels", "colorTable", "trueColors", "classes", "models"});
  if (const Json::Value* levels = optional(root, "levels")) readLevels(*levels);
  if (!m_design.FindLevel(kDefaultLevelId))
    m_design.levels.insert(m_design.levels.begin(), Level{kDefaultLevelId, "Default", 0});
  if (const Json::Value* table = optional(root, "colorTable")) readColorTable(*table);
  if (const Json::Value* colors = optional(root, "trueColors")) readTrueColors(*colors);
  if (const Json::Value* classes = optional(root, "classes")) readClasses(*classes);

  const Json::Value& models = require(root, "", "models");
  requireArray(models, "models");
  if (models.empty()) fail("models", "a design needs at least one model");
  for (Json::ArrayIndex i = 0; i < models.size(); ++i) readModel(models[i], item("models", i));

  m_design.activeModel = m_design.models.front()->name;
  if (const Json::Value* active = optional(root, "activeModel")) {
    std::string name = readString(*active, "activeModel");
    if (!m_design.FindModel(name)) fail("activeModel", "no model is named " + inQuotes(name));
    m_design.activeModel = name;
  }
}

void DesignReader::readLevels(const Json::Value& levels) {
  requireArray(levels, "levels");
  m_design.levels.clear();
  for (Json::ArrayIndex i = 0; i < levels.size(); ++i) {
    std::string place = item("levels", i);
    const Json::Value& value = levels[i];
    requireObject(value, place);
    checkMembers(value, place, {"id", "name", "byLevelColor"});
    Level level;
    level.id = readUInt32(require(value, place, "id"), member(place, "id"));
    if (m_design.FindLevel(level.id))
      fail(member(place, "id"), "a level with id " + std::to_string(level.id) + " already exists");
    level.name = readName(require(value, place, "name"), member(place, "name"));
    if (const Json::Value* color = optional(value, "byLevelColor"))
      level.byLevelColor = readUInt32(*color, member(place, "byLevelColor"));
    m_design.levels.push_back(level);
  }
}

void DesignReader::readColorTable(const Json::Value& table) {
  requireArray(table, "colorTable");
  if (table.size() > 256)
    fail("colorTable", "at most 256 colours, not " + std::to_string(table.size()));
  for (Json::ArrayIndex i = 0; i < table.size(); ++i) {
    m_design.colorTable[i] = readRgb(table[i], item("colorTable", i));
    m_design.colorTableGiven[i] = true;
  }
}

void DesignReader::readTrueColors(const Json::Value& colors) {
  requireObject(colors, "trueColors");
  for (auto it = colors.begin(); it != colors.end(); ++it) {
    std::string key = it.name();
    std::string place = member("trueColors", key);
    bool digits = !key.empty() && key.size() <= 10 && (key[0] != '0' || key.size() == 1) &&
                  key.find_first_not_of("0123456789") == std::string::npos;
    uint64_t id = digits ? std::stoull(key) : 0;
    if (!digits || id > 0xFFFFFFFEu)
      fail(place, "a true colour id is a decimal number from 256 to 4294967294");
    if (id < 256) fail(place, "true colour id " + key + " is below 256");
    m_design.trueColors[static_cast<uint32_t>(id)] = readRgb(*it, place);
  }
}

void DesignReader::readClasses(const Json::Value& classes) {
  requireArray(classes, "classes");
  for (Json::ArrayIndex i = 0; i < classes.size(); ++i) {
    std::string place = item("classes", i);
    const Json::Value& value = classes[i];
    requireObject(value, place);
    checkMembers(value, place, {"name", "label", "properties"});
    ClassDef cls;
    cls.name = readName(require(value, place, "name"), member(place, "name"));
    if (m_design.FindClass(cls.name))
      fail(member(place, "name"), "a class named " + inQuotes(cls.name) + " already exists");
    const Json::Value* label = optional(value, "label");
    cls.label = label ? readString(*label, member(place, "label")) : cls.name;
    if (const Json::Value* properties = optional(value, "properties")) {
      std::string listPlace = member(place, "properties");
      requireArray(*properties, listPlace);
      for (Json::ArrayIndex k = 0; k < properties->size(); ++k) {
        std::string propPlace = item(listPlace, k);
        const Json::Value& prop = (*properties)[k];
        requireObject(prop, propPlace);
        checkMembers(prop, propPlace, {"name", "label"});
        PropertyDef def;
        def.name = readName(require(prop, propPlace, "name"), member(propPlace, "name"));
        for (const PropertyDef& other : cls.properties)
          if (other.name == def.name)
            fail(member(propPlace, "name"),
                 "class " + inQuotes(cls.name) + " already has a property " + inQuotes(def.name));
        const Json::Value* propLabel = optional(prop, "label");
        def.label = propLabel ? readString(*propLabel, member(propPlace, "label")) : def.name;
        cls.properties.push_back(def);
      }
    }
    m_design.classes.push_back(std::move(cls));
  }
}

void DesignReader::readModel(const Json::Value& value, const std::string& place) {
  requireObject(value, place);
  checkMembers(value, place, {"name", "uorPerMeter", "elements", "attachments"});
  auto model = std::make_unique<Model>();
  model->file = &m_design;
  model->name = readName(require(value, place, "name"), member(place, "name"));
  if (m_design.FindModel(model->name))
    fail(member(place, "name"), "a model named " + inQuotes(model->name) + " already exists");
  if (const Json::Value* uor = optional(value, "uorPerMeter")) {
    model->uorPerMeter = readGeometryValue(*uor, member(place, "uorPerMeter"));
    if (model->uorPerMeter <= 0) fail(member(place, "uorPerMeter"), "must be above 0");
    // A subnormal scale turns every coordinate into an infinite distance.
    if (!std::isnormal(model->uorPerMeter))
      fail(member(place, "uorPerMeter"),
           "must be a normal number (2.2250738585072014e-308 or above)");
  }
  if (const Json::Value* attachments = optional(value, "attachments")) {
    std::string listPlace = member(place, "attachments");
    requireArray(*attachments, listPlace);
    for (Json::ArrayIndex i = 0; i < attachments->size(); ++i)
      model->attachments.push_back(readAttachment((*attachments)[i], item(listPlace, i)));
  }
  Model& added = *model;
  m_design.models.push_back(std::move(model));
  if (const Json::Value* elements = optional(value, "elements")) {
    std::string listPlace = member(place, "elements");
    requireArray(*elements, listPlace);
    ModelIds ids;
    for (Json::ArrayIndex i = 0; i < elements->size(); ++i)
      added.elements.push_back(readElement((*elements)[i], item(listPlace, i), added, &ids));
  }
}

Attachment DesignReader::readAttachment(const Json::Value& value, const std::string& place) {
  requireObject(value, place);
  checkMembers(value, place, {"file", "model"});
  Attachment attachment;
  attachment.file = readName(require(value, place, "file"), member(place, "file"));
  if (const Json::Value* model = optional(value, "model"))
    attachment.model = readName(*model, member(place, "model"));
  return attachment;
}

// ids is null for the children of cells, which have no id of their own.
std::unique_ptr<Element> DesignReader::readElement(const Json::Value& value,
                                                   const std::string& place, Model& model,
                                                   ModelIds* ids) {
  requireObject(value, place);
  const TypeInfo& info = readType(value, place);
  std::string owner = std::string(info.type == ElementType::Extrusion ? "an " : "a ") + info.name;
  checkMembers(value, place,
               {"id", "type", "color", "level", "transparency", "invisible", "range", "instances"},
               info.members, owner.c_str());
  auto element = std::make_unique<Element>();
  element->type = info.type;
  const Json::Value* id = optional(value, "id");
  if (!ids) {
    if (id) fail(member(place, "id"), "the children of a cell have no id");
  } else if (id) {
    element->id = readUInt64(*id, member(place, "id"));
    if (element->id == 0) fail(member(place, "id"), "element ids start at 1");
  } else {
    if (ids->highest == UINT64_MAX) fail(place, "no element id is left after 18446744073709551615");
    element->id = ids->highest + 1;
  }
  if (ids) {
    if (!ids->used.insert(element->id).second)
      fail(id ? member(place, "id") : place, "element id " + std::to_string(element->id) +
                                                 " is already used in model " +
                                                 inQuotes(model.name));
    ids->highest = std::max(ids->highest, element->id);
  }
  readCommon(value, place, element.get());
  readGeometry(value, place, model, element.get());
  return element;
}

uint32_t DesignReader::readColor(const Json::Value& value, const std::string& place) {
  if (value.isString()) {
    if (value.asString() == "bylevel") return kByLevelColor;
    fail(place, "expected a colour id or \"bylevel\", not " + inQuotes(readString(value, place)));
  }
  if (!value.isIntegral()) failType(value, place, "a colour id or \"bylevel\"");
  return readUInt32(value, place);
}

void DesignReader::readCommon(const Json::Value& value, const std::string& place,
                              Element* element) {
  if (const Json::Value* color = optional(value, "color"))
    element->color = readColor(*color, member(place, "color"));
  if (const Json::Value* level = optional(value, "level")) {
    element->level = readUInt32(*level, member(place, "level"));
    if (!m_design.FindLevel(element->level))
      fail(member(place, "level"), "no level has id " + std::to_string(element->level));
  }
  if (const Json::Value* transparency = optional(value, "transparency")) {
    element->transparency = readFinite(*transparency, member(place, "transparency"));
    if (element->transparency < 0 || element->transparency > 1)
      fail(member(place, "transparency"), transparency->asString() + " is outside 0 to 1");
  }
  if (const Json::Value* invisible = optional(value, "invisible"))
    element->invisible = readBool(*invisible, member(place, "invisible"));
  if (const Json::Value* range = optional(value, "range")) {
    std::string rangePlace = member(place, "range");
    if (!range->isArray() || range->size() != 6) failType(*range, rangePlace, "six numbers");
    double corners[6];
    for (Json::ArrayIndex i = 0; i < 6; ++i)
      corners[i] = readFinite((*range)[i], item(rangePlace, i));
    element->storedRange =
        DRange3d{{corners[0], corners[1], corners[2]}, {corners[3], corners[4], corners[5]}};
  }
  if (const Json::Value* instances = optional(value, "instances")) {
    std::string listPlace = member(place, "instances");
    requireArray(*instances, listPlace);
    for (Json::ArrayIndex i = 0; i < instances->size(); ++i)
      element->instances.push_back(readInstance((*instances)[i], item(listPlace, i)));
  }
}

Instance DesignReader::readInstance(const Json::Value& value, const std::string& place) {
  requireObject(value, place);
  checkMembers(value, place, {"class", "values"});
  Instance instance;
  instance.className = readName(require(value, place, "class"), member(place, "class"));
  const ClassDef* cls = m_design.FindClass(instance.className);
  if (!cls) fail(member(place, "class"), "no class is named " + inQuotes(instance.className));
  const Json::Value* values = optional(value, "values");
  if (!values) return instance;
  std::string valuesPlace = member(place, "values");
  requireObject(*values, valuesPlace);
  for (auto it = values->begin(); it != values->end(); ++it) {
    std::string name = it.name();
    std::string valuePlace = member(valuesPlace, name);
    bool known = false;
    for (const PropertyDef& def : cls->properties) known = known || def.name == name;
    if (!known)
      fail(valuePlace, "class " + inQuotes(cls->name) + " has no property " + inQuotes(name));
    if (!it->isNull()) instance.values[name] = readPropertyValue(*it, valuePlace);
  }
  return instance;
}

// A one-based point index, negative for a hidden edge. The bounds are compared without
// negating the index, which for the lowest 64-bit integer would overflow; a point count beyond
// what an int holds can't be stored in a face.
bool isPointIndex(const Json::Value& index, int64_t count) {
  if (!index.isInt64() || count > INT_MAX) return false;
  int64_t value = index.asInt64();
  return value != 0 && value >= -count && value <= count;
}

void DesignReader::readFaces(const Json::Value& value, const std::string& place, Element* element) {
  requireArray(value, place);
  const auto count = static_cast<int64_t>(element->points.size());
  // Places are made only for a fault: faces are, with points, the bulk of a design.
  for (Json::ArrayIndex f = 0; f < value.size(); ++f) {
    const Json::Value& face = value[f];
    if (!face.isArray()) failType(face, item(place, f), "an array");
    if (face.size() < 3)
      fail(item(place, f), "a face needs at least 3 indices, not " + std::to_string(face.size()));
    std::vector<int> indices;
    indices.reserve(face.size());
    for (Json::ArrayIndex k = 0; k < face.size(); ++k) {
      const Json::Value& index = face[k];
      if (!index.isIntegral()) failType(index, item(item(place, f), k), "a point index");
      if (!isPointIndex(index, count))
        fail(item(item(place, f), k), "index " + index.asString() +
                                          " names no point (the element has " +
                                          std::to_string(count) + ")");
      indices.push_back(static_cast<int>(index.asInt64()));
    }
    element->faces.push_back(std::move(indices));
  }
}

void DesignReader::readGeometry(const Json::Value& value, const std::string& place, Model& model,
                                Element* element) {
  auto at = [&](const char* name) { return member(place, name); };
  auto points = [&](const char* name) { return readPoints(require(value, place, name), at(name)); };
  auto point = [&](const char* name) { return readPoint(require(value, place, name), at(name)); };
  auto number = [&](const char* name) {
    return readGeometryValue(require(value, place, name), at(name));
  };
  switch (element->type) {
    case ElementType::Line:
      element->points = points("points");
      if (element->points.size() != 2)
        fail(at("points"), "a line has 2 points, not " + std::to_string(element->points.size()));
      break;
    case ElementType::LineString:
      element->points = points("points");
      requireCount(element->points, 2, at("points"), "a line string");
      break;
    case ElementType::Text:
      element->origin = point("origin");
      element->text = readString(require(value, place, "text"), at("text"));
      break;
    case ElementType::Shape:
      element->points = points("points");
      dropClosingPoint(&element->points);
      requireCount(element->points, 3, at("points"), "a shape");
      break;
    case ElementType::Mesh:
      element->points = points("points");
      readFaces(require(value, place, "faces"), at("faces"), element);
      break;
    case ElementType::Extrusion:
      element->profile = points("profile");
      dropClosingPoint(&element->profile);
      requireCount(element->profile, 3, at("profile"), "a profile");
      element->vector = point("vector");
      break;
    case ElementType::Cone:
      element->base = point("base");
      element->top = point("top");
      element->baseRadius = number("baseRadius");
      element->topRadius = number("topRadius");
      if (element->baseRadius < 0) fail(at("baseRadius"), "a radius can't be negative");
      if (element->topRadius < 0) fail(at("topRadius"), "a radius can't be negative");
      if (element->baseRadius == 0 && element->topRadius == 0)
        fail(place, "a cone needs a radius above 0 at one end at least");
      break;
    case ElementType::Sphere:
      element->center = point("center");
      element->radius = number("radius");
      if (element->radius <= 0) fail(at("radius"), "a sphere's radius must be above 0");
      break;
    case ElementType::Cell: {
      element->cellName = readString(require(value, place, "name"), at("name"));
      if (const Json::Value* transform = optional(value, "transform")) {
        if (!transform->isArray() || transform->size() != 12)
          failType(*transform, at("transform"), "12 numbers");
        for (Json::ArrayIndex i = 0; i < 12; ++i)
          element->transform.form3d[i / 4][i % 4] =
              readGeometryValue((*transform)[i], item(at("transform"), i));
      }
      if (const Json::Value* children = optional(value, "children")) {
        requireArray(*children, at("children"));
        for (Json::ArrayIndex i = 0; i < children->size(); ++i)
          element->children.push_back(
              readElement((*children)[i], item(at("children"), i), model, nullptr));
      }
      break;
    }
  }
}

// jsoncpp reports "* Line 3, Column 5\n  Syntax error: ...": one line and column for the
// message, and the first error only.
std::string syntaxMessage(const std::string& formatted) {
  std::istringstream lines(formatted);
  std::string where, what;
  std::getline(lines, where);
  std::getline(lines, what);
  int line = 0, column = 0;
  if (std::sscanf(where.c_str(), "* Line %d, Column %d", &line, &column) != 2)
    return "the text is not valid JSON";
  size_t start = what.find_first_not_of(' ');
  what = start == std::string::npos ? "the text is not valid JSON" : what.substr(start);
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
}

bool parseJson(const std::string& text, Json::Value* root, std::string* message) {
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  builder["allowComments"] = true;
  builder["collectComments"] = false;
  builder["skipBom"] = true;
  builder["allowSpecialFloats"] = false;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  try {
    if (reader->parse(text.data(), text.data() + text.size(), root, &errors)) return true;
  } catch (const Json::Exception&) {
    *message = "the JSON nests too deeply";
    return false;
  }
  *message = syntaxMessage(errors);
  return false;
}

}  // namespace

std::unique_ptr<DesignFile> ParseDesign(const std::string& text, const std::string& fileLabel,
                                        std::string* error) {
  auto design = NewDesignFile();
  if (StreamDesign(text, design.get())) return design;
  return ParseDesignDocument(text, fileLabel, error);
}

std::unique_ptr<DesignFile> ParseDesignDocument(const std::string& text,
                                                const std::string& fileLabel, std::string* error) {
  Json::Value root;
  std::string message;
  if (!parseJson(text, &root, &message)) {
    *error = fileLabel + ": " + message;
    return nullptr;
  }
  auto design = NewDesignFile();
  try {
    DesignReader(design.get()).Read(root);
  } catch (const LoadError& fault) {
    *error = fileLabel + ": " + (fault.place.empty() ? "" : fault.place + ": ") + fault.text;
    return nullptr;
  }
  return design;
}

std::unique_ptr<DesignFile> LoadDesignFile(const std::string& localPath, std::string* error) {
  std::string text;
  FileStatus read = CurrentFileSystem().ReadFile(localPath, &text);
  if (!read.ok()) {
    *error = localPath + ": can't read the file (" + read.reason() + ")";
    return nullptr;
  }
  auto design = ParseDesign(text, localPath, error);
  if (!design) return nullptr;
  design->localPath = AbsoluteLocalPath(localPath);
  design->windowsPath = ToWindowsPath(design->localPath);
  return design;
}

}  // namespace host
