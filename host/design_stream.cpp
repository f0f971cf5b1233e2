#include "host/design_stream.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "host/design_values.h"
#include "host/json_source.h"

namespace host {
namespace {

using json_source::Number;
using json_source::Source;
using json_source::unsure;

// Cells nested deeper than this are left to the document reader, which knows its own limit.
constexpr int kMaxCellDepth = 100;

// The members of an element, one bit each.
enum Member : int {
  kId,
  kType,
  kColor,
  kLevel,
  kTransparency,
  kInvisible,
  kRange,
  kInstances,
  kPoints,
  kFaces,
  kOrigin,
  kText,
  kProfile,
  kVector,
  kBase,
  kTop,
  kBaseRadius,
  kTopRadius,
  kCenter,
  kRadius,
  kName,
  kTransform,
  kChildren
};
constexpr uint32_t bit(int member) { return 1u << member; }
constexpr uint32_t kCommon = bit(kId) | bit(kType) | bit(kColor) | bit(kLevel) |
                             bit(kTransparency) | bit(kInvisible) | bit(kRange) | bit(kInstances);

int memberOf(std::string_view k) {
  switch (k.size()) {
    case 2:
      return k == "id" ? kId : -1;
    case 3:
      return k == "top" ? kTop : -1;
    case 4:
      return k == "type"   ? kType
             : k == "text" ? kText
             : k == "base" ? kBase
             : k == "name" ? kName
                           : -1;
    case 5:
      return k == "color"   ? kColor
             : k == "level" ? kLevel
             : k == "range" ? kRange
             : k == "faces" ? kFaces
                            : -1;
    case 6:
      return k == "points"   ? kPoints
             : k == "origin" ? kOrigin
             : k == "vector" ? kVector
             : k == "center" ? kCenter
             : k == "radius" ? kRadius
                             : -1;
    case 7:
      return k == "profile" ? kProfile : -1;
    case 8:
      return k == "children" ? kChildren : -1;
    case 9:
      return k == "invisible"   ? kInvisible
             : k == "instances" ? kInstances
             : k == "topRadius" ? kTopRadius
             : k == "transform" ? kTransform
                                : -1;
    case 10:
      return k == "baseRadius" ? kBaseRadius : -1;
    case 12:
      return k == "transparency" ? kTransparency : -1;
    default:
      return -1;
  }
}

struct TypeMembers {
  std::string_view name;
  ElementType type;
  uint32_t required, optional;
};

const TypeMembers kTypes[] = {
    {"line", ElementType::Line, bit(kPoints), 0},
    {"linestring", ElementType::LineString, bit(kPoints), 0},
    {"text", ElementType::Text, bit(kOrigin) | bit(kText), 0},
    {"shape", ElementType::Shape, bit(kPoints), 0},
    {"mesh", ElementType::Mesh, bit(kPoints) | bit(kFaces), 0},
    {"extrusion", ElementType::Extrusion, bit(kProfile) | bit(kVector), 0},
    {"cone", ElementType::Cone, bit(kBase) | bit(kTop) | bit(kBaseRadius) | bit(kTopRadius), 0},
    {"sphere", ElementType::Sphere, bit(kCenter) | bit(kRadius), 0},
    {"cell", ElementType::Cell, bit(kName), bit(kTransform) | bit(kChildren)},
};

// Marks a member of an object as seen; a member given twice is a fault.
void see(uint32_t* seen, int member) {
  if (member < 0 || (*seen & bit(member))) unsure();
  *seen |= bit(member);
}

int indexOf(std::string_view key, std::initializer_list<std::string_view> names) {
  int index = 0;
  for (std::string_view name : names) {
    if (key == name) return index;
    ++index;
  }
  return -1;
}

// Element ids of one model: duplicates are looked for at the end, and only when the ids
// did not come in rising order.
struct ModelIds {
  std::vector<uint64_t> all;
  uint64_t highest = 0;
  bool rising = true;

  void Add(uint64_t id) {
    if (id <= highest && !all.empty()) rising = false;
    highest = std::max(highest, id);
    all.push_back(id);
  }
  bool Unique() {
    if (rising) return true;
    std::sort(all.begin(), all.end());
    return std::adjacent_find(all.begin(), all.end()) == all.end();
  }
};

class StreamReader {
 public:
  StreamReader(std::string_view text, DesignFile* design) : m_in(text), m_design(*design) {}
  void Read();

 private:
  void readRootMember(int member, bool* modelsRead, std::string* active);
  void readLevels();
  void readColorTable();
  void readTrueColors();
  void readClasses();
  void readModel();
  Attachment readAttachment();
  std::unique_ptr<Element> readElement(Model& model, ModelIds* ids, int depth);
  void readElementMember(int member, Element* element, Model& model, int depth);
  void readFaces(Element* element);
  void checkGeometry(Element* element);
  Instance readInstance();
  PropertyValue readPropertyValue();

  uint32_t readUInt32();
  uint64_t readUInt64();
  double readFinite() { return m_in.ReadNumber().AsDouble(); }
  double readGeometry();
  std::string readText();
  std::string readName();
  uint32_t readColor();
  Rgb readRgb();
  DPoint3d readPoint();
  std::vector<DPoint3d> readPoints();
  void readNumbers(double* out, int count, bool geometry);

  Source m_in;
  DesignFile& m_design;
};

void StreamReader::Read() {
  m_in.SkipByteOrderMark();
  if (!m_in.BeginObject()) unsure();
  uint32_t seen = 0;
  bool modelsRead = false;
  std::string active;
  do {
    int member = indexOf(
        m_in.ReadKey(), {"activeModel", "levels", "colorTable", "trueColors", "classes", "models"});
    see(&seen, member);
    readRootMember(member, &modelsRead, &active);
  } while (m_in.NextInObject());
  m_in.SkipGap();
  if (!m_in.AtEnd() || !modelsRead) unsure();
  m_design.activeModel = m_design.models.front()->name;
  if (seen & bit(0)) {
    if (!m_design.FindModel(active)) unsure();
    m_design.activeModel = active;
  }
}

// Levels and classes, which elements refer to, must come before the models; a file that
// gives them after is left to the document reader.
void StreamReader::readRootMember(int member, bool* modelsRead, std::string* active) {
  switch (member) {
    case 0:
      *active = readText();
      break;
    case 1:
      if (*modelsRead) unsure();
      readLevels();
      break;
    case 2:
      readColorTable();
      break;
    case 3:
      readTrueColors();
      break;
    case 4:
      if (*modelsRead) unsure();
      readClasses();
      break;
    default:
      if (!m_in.BeginArray()) unsure();
      do readModel();
      while (m_in.NextInArray());
      *modelsRead = true;
  }
}

void StreamReader::readLevels() {
  m_design.levels.clear();
  if (m_in.BeginArray()) {
    do {
      Level level;
      uint32_t seen = 0;
      if (!m_in.BeginObject()) unsure();
      do {
        int member = indexOf(m_in.ReadKey(), {"id", "name", "byLevelColor"});
        see(&seen, member);
        if (member == 0) level.id = readUInt32();
        if (member == 1) level.name = readName();
        if (member == 2) level.byLevelColor = readUInt32();
      } while (m_in.NextInObject());
      if ((seen & 3) != 3 || m_design.FindLevel(level.id)) unsure();
      m_design.levels.push_back(std::move(level));
    } while (m_in.NextInArray());
  }
  if (!m_design.FindLevel(kDefaultLevelId))
    m_design.levels.insert(m_design.levels.begin(), Level{kDefaultLevelId, "Default", 0});
}

void StreamReader::readColorTable() {
  if (!m_in.BeginArray()) return;
  size_t index = 0;
  do {
    if (index >= m_design.colorTable.size()) unsure();
    m_design.colorTable[index] = readRgb();
    m_design.colorTableGiven[index++] = true;
  } while (m_in.NextInArray());
}

void StreamReader::readTrueColors() {
  if (!m_in.BeginObject()) return;
  do {
    std::string_view key = m_in.ReadKey();
    bool digits = !key.empty() && key.size() <= 10 && (key[0] != '0' || key.size() == 1) &&
                  key.find_first_not_of("0123456789") == std::string_view::npos;
    if (!digits) unsure();
    uint64_t id = std::stoull(std::string(key));
    if (id < 256 || id > 0xFFFFFFFEu) unsure();
    if (!m_design.trueColors.emplace(static_cast<uint32_t>(id), readRgb()).second) unsure();
  } while (m_in.NextInObject());
}

void StreamReader::readClasses() {
  if (!m_in.BeginArray()) return;
  do {
    ClassDef cls;
    uint32_t seen = 0;
    if (!m_in.BeginObject()) unsure();
    do {
      int member = indexOf(m_in.ReadKey(), {"name", "label", "properties"});
      see(&seen, member);
      if (member == 0) cls.name = readName();
      if (member == 1) cls.label = readText();
      if (member == 2 && m_in.BeginArray()) {
        do {
          PropertyDef def;
          uint32_t propSeen = 0;
          if (!m_in.BeginObject()) unsure();
          do {
            int propMember = indexOf(m_in.ReadKey(), {"name", "label"});
            see(&propSeen, propMember);
            if (propMember == 0) def.name = readName();
            if (propMember == 1) def.label = readText();
          } while (m_in.NextInObject());
          if (!(propSeen & 1)) unsure();
          if (!(propSeen & 2)) def.label = def.name;
          for (const PropertyDef& other : cls.properties)
            if (other.name == def.name) unsure();
          cls.properties.push_back(std::move(def));
        } while (m_in.NextInArray());
      }
    } while (m_in.NextInObject());
    if (!(seen & 1) || m_design.FindClass(cls.name)) unsure();
    if (!(seen & 2)) cls.label = cls.name;
    m_design.classes.push_back(std::move(cls));
  } while (m_in.NextInArray());
}

void StreamReader::readModel() {
  m_design.models.push_back(std::make_unique<Model>());
  Model& model = *m_design.models.back();
  model.file = &m_design;
  uint32_t seen = 0;
  ModelIds ids;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = indexOf(m_in.ReadKey(), {"name", "uorPerMeter", "elements", "attachments"});
    see(&seen, member);
    if (member == 0) model.name = readName();
    if (member == 1 && (model.uorPerMeter = readGeometry()) <= 0) unsure();
    if (member == 2 && m_in.BeginArray()) {
      do model.elements.push_back(readElement(model, &ids, 0));
      while (m_in.NextInArray());
    }
    if (member == 3 && m_in.BeginArray()) {
      do model.attachments.push_back(readAttachment());
      while (m_in.NextInArray());
    }
  } while (m_in.NextInObject());
  if (!(seen & 1) || !ids.Unique()) unsure();
  for (size_t i = 0; i + 1 < m_design.models.size(); ++i)
    if (m_design.models[i]->name == model.name) unsure();
}

Attachment StreamReader::readAttachment() {
  Attachment attachment;
  uint32_t seen = 0;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = indexOf(m_in.ReadKey(), {"file", "model"});
    see(&seen, member);
    if (member == 0) attachment.file = readName();
    if (member == 1) attachment.model = readName();
  } while (m_in.NextInObject());
  if (!(seen & 1)) unsure();
  return attachment;
}

// Members come in any order, so the type and the geometry are checked once the element's
// object has ended. ids is null for the children of cells, which have no id of their own.
std::unique_ptr<Element> StreamReader::readElement(Model& model, ModelIds* ids, int depth) {
  if (depth > kMaxCellDepth) unsure();
  auto element = std::make_unique<Element>();
  uint32_t seen = 0;
  const TypeMembers* type = nullptr;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = memberOf(m_in.ReadKey());
    see(&seen, member);
    if (member == kType) {
      std::string_view name = m_in.ReadString();
      for (const TypeMembers& info : kTypes)
        if (info.name == name) type = &info;
      if (!type) unsure();
    } else if (member == kId) {
      element->id = readUInt64();
    } else {
      readElementMember(member, element.get(), model, depth);
    }
  } while (m_in.NextInObject());
  if (!type || (seen & ~(kCommon | type->required | type->optional)) ||
      (seen & type->required) != type->required)
    unsure();
  element->type = type->type;
  if (!ids) {
    if (seen & bit(kId)) unsure();
  } else {
    if (!(seen & bit(kId))) {
      if (ids->highest == UINT64_MAX) unsure();
      element->id = ids->highest + 1;
    }
    if (element->id == 0) unsure();
    ids->Add(element->id);
  }
  checkGeometry(element.get());
  return element;
}

void StreamReader::readElementMember(int member, Element* element, Model& model, int depth) {
  switch (member) {
    case kColor:
      element->color = readColor();
      break;
    case kLevel:
      element->level = readUInt32();
      if (!m_design.FindLevel(element->level)) unsure();
      break;
    case kTransparency:
      element->transparency = readFinite();
      if (element->transparency < 0 || element->transparency > 1) unsure();
      break;
    case kInvisible:
      element->invisible = m_in.ReadBool();
      break;
    case kRange: {
      double corners[6];
      readNumbers(corners, 6, false);
      element->storedRange =
          DRange3d{{corners[0], corners[1], corners[2]}, {corners[3], corners[4], corners[5]}};
      break;
    }
    case kInstances:
      if (m_in.BeginArray()) {
        do element->instances.push_back(readInstance());
        while (m_in.NextInArray());
      }
      break;
    case kPoints:
      element->points = readPoints();
      break;
    case kFaces:
      readFaces(element);
      break;
    case kOrigin:
      element->origin = readPoint();
      break;
    case kText:
      element->text = readText();
      break;
    case kProfile:
      element->profile = readPoints();
      break;
    case kVector:
      element->vector = readPoint();
      break;
    case kBase:
      element->base = readPoint();
      break;
    case kTop:
      element->top = readPoint();
      break;
    case kBaseRadius:
      element->baseRadius = readGeometry();
      break;
    case kTopRadius:
      element->topRadius = readGeometry();
      break;
    case kCenter:
      element->center = readPoint();
      break;
    case kRadius:
      element->radius = readGeometry();
      break;
    case kName:
      element->cellName = readText();
      break;
    case kTransform:
      readNumbers(&element->transform.form3d[0][0], 12, true);
      break;
    default:  // kChildren
      if (m_in.BeginArray()) {
        do element->children.push_back(readElement(model, nullptr, depth + 1));
        while (m_in.NextInArray());
      }
  }
}

// Indices are checked against the points once the element has ended: the points may come
// after the faces.
void StreamReader::readFaces(Element* element) {
  if (!m_in.BeginArray()) return;
  do {
    std::vector<int> face;
    if (m_in.BeginArray()) {
      do {
        Number index = m_in.ReadNumber();
        if (!index.integral || index.magnitude > INT_MAX) unsure();
        int magnitude = static_cast<int>(index.magnitude);
        face.push_back(index.negative ? -magnitude : magnitude);
      } while (m_in.NextInArray());
    }
    element->faces.push_back(std::move(face));
  } while (m_in.NextInArray());
}

void StreamReader::checkGeometry(Element* element) {
  switch (element->type) {
    case ElementType::Line:
      if (element->points.size() != 2) unsure();
      break;
    case ElementType::LineString:
      if (element->points.size() < 2) unsure();
      break;
    case ElementType::Shape:
      design_json::dropClosingPoint(&element->points);
      if (element->points.size() < 3) unsure();
      break;
    case ElementType::Mesh: {
      if (element->points.size() > INT_MAX) unsure();
      const int count = static_cast<int>(element->points.size());
      for (const std::vector<int>& face : element->faces) {
        if (face.size() < 3) unsure();
        for (int index : face)
          if (index == 0 || index > count || index < -count) unsure();
      }
      break;
    }
    case ElementType::Extrusion:
      design_json::dropClosingPoint(&element->profile);
      if (element->profile.size() < 3) unsure();
      break;
    case ElementType::Cone:
      if (element->baseRadius < 0 || element->topRadius < 0 ||
          (element->baseRadius == 0 && element->topRadius == 0))
        unsure();
      break;
    case ElementType::Sphere:
      if (element->radius <= 0) unsure();
      break;
    default:
      break;
  }
}

// The class may come after the values, so property names are checked at the end.
Instance StreamReader::readInstance() {
  Instance instance;
  uint32_t seen = 0;
  std::vector<std::string> names;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = indexOf(m_in.ReadKey(), {"class", "values"});
    see(&seen, member);
    if (member == 0) instance.className = readName();
    if (member == 1 && m_in.BeginObject()) {
      do {
        std::string name(m_in.ReadKey());
        if (std::find(names.begin(), names.end(), name) != names.end()) unsure();
        names.push_back(name);
        if (!m_in.TakeNull()) instance.values.emplace(std::move(name), readPropertyValue());
      } while (m_in.NextInObject());
    }
  } while (m_in.NextInObject());
  if (!(seen & 1)) unsure();
  const ClassDef* cls = m_design.FindClass(instance.className);
  if (!cls) unsure();
  for (const std::string& name : names) {
    bool known = false;
    for (const PropertyDef& def : cls->properties) known = known || def.name == name;
    if (!known) unsure();
  }
  return instance;
}

// Integers above the highest 64-bit signed integer are a fault for a property value.
PropertyValue StreamReader::readPropertyValue() {
  char first = m_in.PeekValue();
  if (first == '"') return readText();
  if (first == 't' || first == 'f') return m_in.ReadBool();
  if (first == '[') return readPoint();
  Number number = m_in.ReadNumber();
  if (!number.integral) return number.real;
  if (number.negative) return static_cast<int64_t>(0 - number.magnitude);
  if (number.magnitude > static_cast<uint64_t>(INT64_MAX)) unsure();
  return static_cast<int64_t>(number.magnitude);
}

uint32_t StreamReader::readUInt32() {
  uint64_t value = readUInt64();
  if (value > UINT32_MAX) unsure();
  return static_cast<uint32_t>(value);
}

// Whole numbers only: the document reader also takes reals such as 5.0 in some places,
// which are left to it.
uint64_t StreamReader::readUInt64() {
  Number number = m_in.ReadNumber();
  if (!number.integral || (number.negative && number.magnitude != 0)) unsure();
  return number.magnitude;
}

double StreamReader::readGeometry() {
  double value = readFinite();
  if (std::fabs(value) > design_json::kMaxGeometryValue) unsure();
  return value;
}

std::string StreamReader::readText() {
  std::string_view text = m_in.ReadString();
  if (!design_json::isValidUtf8(text) || text.find('\0') != std::string_view::npos) unsure();
  return std::string(text);
}

std::string StreamReader::readName() {
  std::string name = readText();
  if (name.empty()) unsure();
  return name;
}

uint32_t StreamReader::readColor() {
  if (m_in.PeekValue() != '"') return readUInt32();
  if (m_in.ReadString() != "bylevel") unsure();
  return kByLevelColor;
}

Rgb StreamReader::readRgb() {
  uint8_t parts[3];
  if (!m_in.BeginArray()) unsure();
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && !m_in.NextInArray()) unsure();
    uint32_t part = readUInt32();
    if (part > 255) unsure();
    parts[i] = static_cast<uint8_t>(part);
  }
  if (m_in.NextInArray()) unsure();
  return {parts[0], parts[1], parts[2]};
}

// Exactly count numbers in an array: finite ones, and within the geometry bound if asked.
void StreamReader::readNumbers(double* out, int count, bool geometry) {
  if (!m_in.BeginArray()) unsure();
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !m_in.NextInArray()) unsure();
    out[i] = geometry ? readGeometry() : readFinite();
  }
  if (m_in.NextInArray()) unsure();
}

DPoint3d StreamReader::readPoint() {
  double xyz[3];
  readNumbers(xyz, 3, true);
  return {xyz[0], xyz[1], xyz[2]};
}

std::vector<DPoint3d> StreamReader::readPoints() {
  std::vector<DPoint3d> points;
  if (!m_in.BeginArray()) return points;
  do points.push_back(readPoint());
  while (m_in.NextInArray());
  return points;
}

}  // namespace

bool StreamDesign(std::string_view text, DesignFile* design) {
  try {
    StreamReader(text, design).Read();
    return true;
  } catch (const json_source::Unsure&) {
    return false;
  }
}

}  // namespace host
