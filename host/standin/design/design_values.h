// The JSON side of reading design files: where a value stands in the document, and typed
// reads that fail with that place. Used by the design loader; not part of the host's
// interface.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <json/json.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "standin/design/design.h"

namespace host::design_json {

// Coordinates, radii and transform entries beyond this size make no drawing and overflow the
// arithmetic of ranges and facets, so the loader refuses them.
constexpr double kMaxGeometryValue = 1e15;

// The one error of a load: the place in the document and what is wrong there. Thrown by the
// reads below and by the loader, and always caught by ParseDesign.
struct LoadError {
  std::string place;
  std::string text;
};

// Places name a value by its path from the root, e.g. models[0].elements[3].faces[1][2].
[[noreturn]] void fail(const std::string& place, const std::string& text);
std::string inQuotes(const std::string& text);
std::string member(const std::string& place, const std::string& name);
std::string item(const std::string& place, Json::ArrayIndex index);
[[noreturn]] void failType(const Json::Value& value, const std::string& place, const char* noun);

// The reads below check the value's kind (and range) and throw LoadError with the place on a
// mismatch.
void requireObject(const Json::Value& value, const std::string& place);
void requireArray(const Json::Value& value, const std::string& place);
// Every member must be one the format knows: a misspelt member would otherwise be dropped
// silently, and the writer could not keep it.
void checkMembers(const Json::Value& object, const std::string& place,
                  std::initializer_list<const char*> common,
                  const std::vector<const char*>& specific = {}, const char* owner = nullptr);
const Json::Value& require(const Json::Value& object, const std::string& place, const char* name);
const Json::Value* optional(const Json::Value& object, const char* name);

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);
std::string readString(const Json::Value& value, const std::string& place);
std::string readName(const Json::Value& value, const std::string& place);
bool readBool(const Json::Value& value, const std::string& place);
uint64_t readUInt64(const Json::Value& value, const std::string& place);
uint32_t readUInt32(const Json::Value& value, const std::string& place);

double readFinite(const Json::Value& value, const std::string& place);
double readGeometryValue(const Json::Value& value, const std::string& place);
DPoint3d readPoint(const Json::Value& value, const std::string& place);
std::vector<DPoint3d> readPoints(const Json::Value& value, const std::string& place);
void requireCount(const std::vector<DPoint3d>& points, size_t least, const std::string& place,
                  const char* what);
// A closed polygon may repeat its first point at the end; the model keeps it once.
void dropClosingPoint(std::vector<DPoint3d>* points);
Rgb readRgb(const Json::Value& value, const std::string& place);

}  // namespace host::design_json
