#include "standin/design/design_values.h"

#include <cmath>
#include <cstring>

namespace host::design_json {

[[noreturn]] void fail(const std::string& place, const std::string& text) {
  throw LoadError{place, text};
}

std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

static bool isPlainName(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

std::string member(const std::string& place, const std::string& name) {
  if (!isPlainName(name)) return place + "[" + inQuotes(name) + "]";
  return place.empty() ? name : place + "." + name;
}

std::string item(const std::string& place, Json::ArrayIndex index) {
  return place + "[" + std::to_string(index) + "]";
}

static const char* kindOf(const Json::Value& value) {
  switch (value.type()) {
    case Json::nullValue:
      return "null";
    case Json::intValue:
    case Json::uintValue:
      return "an integer";
    case Json::realValue:
      return "a number";
    case Json::stringValue:
      return "a string";
    case Json::booleanValue:
      return "a boolean";
    case Json::arrayValue:
      return "an array";
    case Json::objectValue:
      return "an object";
  }
  return "a value";
}

[[noreturn]] void failType(const Json::Value& value, const std::string& place, const char* noun) {
  fail(place, std::string("expected ") + noun + ", not " + kindOf(value));
}

void requireObject(const Json::Value& value, const std::string& place) {
  if (!value.isObject()) failType(value, place, "an object");
}

void requireArray(const Json::Value& value, const std::string& place) {
  if (!value.isArray()) failType(value, place, "an array");
}

// Every member must be one the format knows: a misspelt member would otherwise be dropped
// silently, and the writer could not keep it.
void checkMembers(const Json::Value& object, const std::string& place,
                  std::initializer_list<const char*> common,
                  const std::vector<const char*>& specific, const char* owner) {
  for (const std::string& name : object.getMemberNames()) {
    bool known = false;
    for (const char* allowed : common) known = known || name == allowed;
    for (const char* allowed : specific) known = known || name == allowed;
    if (known) continue;
    std::string text = "unknown member " + inQuotes(name);
    if (owner) text += std::string(" for ") + owner;
    fail(place, text);
  }
}

const Json::Value& require(const Json::Value& object, const std::string& place, const char* name) {
  const Json::Value* found = object.find(name, name + std::strlen(name));
  if (!found) fail(place, std::string("missing member ") + inQuotes(name));
  return *found;
}

const Json::Value* optional(const Json::Value& object, const char* name) {
  return object.find(name, name + std::strlen(name));
}

bool isValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto lead = static_cast<unsigned char>(text[i]);
    size_t extra;
    uint32_t code;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;  // cut short
    for (size_t k = 1; k <= extra; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const uint32_t shortest[4] = {0, 0x80, 0x800, 0x10000};
    if (code < shortest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

std::string readString(const Json::Value& value, const std::string& place) {
  if (!value.isString()) failType(value, place, "a string");
  std::string text = value.asString();
  if (!isValidUtf8(text)) fail(place, "the text is not valid UTF-8");
  if (text.find('\0') != std::string::npos) fail(place, "the text holds a zero character");
  return text;
}

std::string readName(const Json::Value& value, const std::string& place) {
  std::string name = readString(value, place);
  if (name.empty()) fail(place, "a name can't be empty");
  return name;
}

bool readBool(const Json::Value& value, const std::string& place) {
  if (!value.isBool()) failType(value, place, "true or false");
  return value.asBool();
}

uint64_t readUInt64(const Json::Value& value, const std::string& place) {
  if (value.type() == Json::uintValue) return value.asUInt64();
  if (value.type() != Json::intValue) failType(value, place, "an unsigned 64-bit integer");
  if (value.asInt64() < 0)
    fail(place, std::to_string(value.asInt64()) + " is not an unsigned 64-bit integer");
  return value.asUInt64();
}

uint32_t readUInt32(const Json::Value& value, const std::string& place) {
  if (!value.isIntegral()) failType(value, place, "an unsigned 32-bit integer");
  if (!value.isUInt()) fail(place, value.asString() + " is not an unsigned 32-bit integer");
  return value.asUInt();
}

double readFinite(const Json::Value& value, const std::string& place) {
  if (!value.isNumeric()) failType(value, place, "a number");
  double number = value.asDouble();
  if (!std::isfinite(number)) fail(place, "the number is not finite");
  return number;
}

double readGeometryValue(const Json::Value& value, const std::string& place) {
  double number = readFinite(value, place);
  if (std::fabs(number) > kMaxGeometryValue) fail(place, "the number is too large (at most 1e15)");
  return number;
}

static bool isGeometryValue(const Json::Value& value) {
  return value.isNumeric() && std::fabs(value.asDouble()) <= kMaxGeometryValue;
}

// Points are the bulk of a design: the places for messages are only made for a bad one.
static bool isGoodPoint(const Json::Value& value) {
  return value.isArray() && value.size() == 3 && isGeometryValue(value[0]) &&
         isGeometryValue(value[1]) && isGeometryValue(value[2]);
}

DPoint3d readPoint(const Json::Value& value, const std::string& place) {
  if (!isGoodPoint(value)) {
    if (!value.isArray()) failType(value, place, "a point [x, y, z]");
    if (value.size() != 3)
      fail(place, "expected a point [x, y, z], not " + std::to_string(value.size()) + " numbers");
    for (Json::ArrayIndex i = 0; i < 3; ++i) readGeometryValue(value[i], item(place, i));
  }
  return {value[0].asDouble(), value[1].asDouble(), value[2].asDouble()};
}

std::vector<DPoint3d> readPoints(const Json::Value& value, const std::string& place) {
  requireArray(value, place);
  std::vector<DPoint3d> points;
  points.reserve(value.size());
  for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
    if (!isGoodPoint(value[i])) readPoint(value[i], item(place, i));
    points.push_back({value[i][0].asDouble(), value[i][1].asDouble(), value[i][2].asDouble()});
  }
  return points;
}

void requireCount(const std::vector<DPoint3d>& points, size_t least, const std::string& place,
                  const char* what) {
  if (points.size() < least)
    fail(place, std::string(what) + " needs at least " + std::to_string(least) + " points, not " +
                    std::to_string(points.size()));
}

// A closed polygon may repeat its first point at the end; the model keeps it once.
void dropClosingPoint(std::vector<DPoint3d>* points) {
  if (points->size() >= 2 && points->back() == points->front()) points->pop_back();
}

Rgb readRgb(const Json::Value& value, const std::string& place) {
  if (!value.isArray() || value.size() != 3) failType(value, place, "a colour [r, g, b]");
  uint8_t parts[3];
  for (Json::ArrayIndex i = 0; i < 3; ++i) {
    const Json::Value& part = value[i];
    if (!part.isIntegral()) failType(part, item(place, i), "an integer 0 to 255");
    if (!part.isUInt() || part.asUInt() > 255)
      fail(item(place, i), part.asString() + " is outside 0 to 255");
    parts[i] = static_cast<uint8_t>(part.asUInt());
  }
  return {parts[0], parts[1], parts[2]};
}

}  // namespace host::design_json
