#include "standin/design/design_stream_element.h"

#include <algorithm>
#include <climits>

#include "standin/design/design_stream_values.h"
#include "standin/design/design_values.h"

namespace host::design_stream {
namespace {

using json_source::Number;
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

}  // namespace

void ModelIds::Add(uint64_t id) {
  if (id <= m_highest && !m_all.empty()) m_rising = false;
  m_highest = std::max(m_highest, id);
  m_all.push_back(id);
}

bool ModelIds::Unique() {
  if (m_rising) return true;
  std::sort(m_all.begin(), m_all.end());
  return std::adjacent_find(m_all.begin(), m_all.end()) == m_all.end();
}

// Members come in any order, so the type and the geometry are checked once the element's
// object has ended. ids is null for the children of cells, which have no id of their own.
std::unique_ptr<Element> ElementReader::Read(ModelIds* ids, int depth) {
  if (depth > kMaxCellDepth) unsure();
  auto element = std::make_unique<Element>();
  uint32_t seen = 0;
  const TypeMembers* type = nullptr;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = memberOf(m_in.ReadKey());
    See(&seen, member);
    if (member == kType) {
      std::string_view name = m_in.ReadString();
      for (const TypeMembers& info : kTypes)
        if (info.name == name) type = &info;
      if (!type) unsure();
    } else if (member == kId) {
      element->id = ReadUInt64(m_in);
    } else {
      readMember(member, element.get(), depth);
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
      if (ids->Highest() == UINT64_MAX) unsure();
      element->id = ids->Highest() + 1;
    }
    if (element->id == 0) unsure();
    ids->Add(element->id);
  }
  checkGeometry(element.get());
  return element;
}

void ElementReader::readMember(int member, Element* element, int depth) {
  switch (member) {
    case kColor:
      element->color = ReadColor(m_in);
      break;
    case kLevel:
      element->level = ReadUInt32(m_in);
      if (!m_design.FindLevel(element->level)) unsure();
      break;
    case kTransparency:
      element->transparency = ReadFinite(m_in);
      if (element->transparency < 0 || element->transparency > 1) unsure();
      break;
    case kInvisible:
      element->invisible = m_in.ReadBool();
      break;
    case kRange: {
      double corners[6];
      ReadNumbers(m_in, corners, 6, false);
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
      element->points = ReadPoints(m_in);
      break;
    case kFaces:
      readFaces(element);
      break;
    case kOrigin:
      element->origin = ReadPoint(m_in);
      break;
    case kText:
      element->text = ReadText(m_in);
      break;
    case kProfile:
      element->profile = ReadPoints(m_in);
      break;
    case kVector:
      element->vector = ReadPoint(m_in);
      break;
    case kBase:
      element->base = ReadPoint(m_in);
      break;
    case kTop:
      element->top = ReadPoint(m_in);
      break;
    case kBaseRadius:
      element->baseRadius = ReadGeometry(m_in);
      break;
    case kTopRadius:
      element->topRadius = ReadGeometry(m_in);
      break;
    case kCenter:
      element->center = ReadPoint(m_in);
      break;
    case kRadius:
      element->radius = ReadGeometry(m_in);
      break;
    case kName:
      element->cellName = ReadText(m_in);
      break;
    case kTransform:
      ReadNumbers(m_in, &element->transform.form3d[0][0], 12, true);
      break;
    default:  // kChildren
      if (m_in.BeginArray()) {
        do element->children.push_back(Read(nullptr, depth + 1));
        while (m_in.NextInArray());
      }
  }
}

// Indices are checked against the points once the element has ended: the points may come
// after the faces.
void ElementReader::readFaces(Element* element) {
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

void ElementReader::checkGeometry(Element* element) {
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
Instance ElementReader::readInstance() {
  Instance instance;
  uint32_t seen = 0;
  std::vector<std::string> names;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = IndexOf(m_in.ReadKey(), {"class", "values"});
    See(&seen, member);
    if (member == 0) instance.className = ReadName(m_in);
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
PropertyValue ElementReader::readPropertyValue() {
  char first = m_in.PeekValue();
  if (first == '"') return ReadText(m_in);
  if (first == 't' || first == 'f') return m_in.ReadBool();
  if (first == '[') return ReadPoint(m_in);
  Number number = m_in.ReadNumber();
  if (!number.integral) return number.real;
  if (number.negative) return static_cast<int64_t>(0 - number.magnitude);
  if (number.magnitude > static_cast<uint64_t>(INT64_MAX)) unsure();
  return static_cast<int64_t>(number.magnitude);
}

}  // namespace host::design_stream
