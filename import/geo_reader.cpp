#include "import/geo_reader.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <limits>

#include "import/geo_scanner.h"

namespace {

// An entry as an index: a whole number that fits 32 bits, however written, or a real
// truncated toward zero into that range; null 0, true 1, false 0. False when it holds none.
bool indexOf(const Json::Value& entry, int32_t* index) {
  if (entry.isNull() || entry.isBool() || entry.isInt()) {
    *index = entry.asInt();
    return true;
  }
  if (entry.isIntegral()) return false;  // 64-bit values beyond the 32-bit range
  double truncated = std::trunc(entry.asDouble());
  if (!(truncated >= std::numeric_limits<int32_t>::min() &&
        truncated <= std::numeric_limits<int32_t>::max())) {
    return false;
  }
  *index = static_cast<int32_t>(truncated);
  return true;
}

GeoList listOf(const Json::Value& member, bool indexes) {
  GeoList list;
  if (member.isNull()) return list;
  list.kind = GeoList::Kind::Other;
  if (!member.isArray()) return list;
  for (const Json::Value& entry : member)
    if (!entry.isNull() && !entry.isBool() && !entry.isNumeric()) return list;
  list.kind = GeoList::Kind::Numbers;
  list.size = member.size();
  for (const Json::Value& entry : member) {
    if (!indexes) {
      list.values.push_back(entry.asDouble());
      continue;
    }
    int32_t index = 0;
    bool fits = indexOf(entry, &index);
    list.indexes.push_back(fits ? index : 0);
    list.indexesFit = list.indexesFit && fits;
  }
  return list;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

bool sameList(const GeoList& a, const GeoList& b) {
  return a.kind == b.kind && a.size == b.size && sameBits(a.values, b.values) &&
         a.indexes == b.indexes && a.indexesFit == b.indexesFit;
}

}  // namespace

GeoParse readGeoRecord(std::string_view text, GeoRecord* record) {
  GeoParse parse = scanGeoRecord(text, record);
  return parse == GeoParse::Unsure ? readGeoRecordByDom(text, record) : parse;
}

GeoParse readGeoRecordByDom(std::string_view text, GeoRecord* record) {
  *record = GeoRecord();
  Json::Value document;
  Json::Reader reader;
  try {
    if (!reader.parse(text.data(), text.data() + text.size(), document, false))
      return GeoParse::Refused;
  } catch (const std::exception&) {
    return GeoParse::TooDeep;
  }
  *record = geoRecordOf(document);
  return GeoParse::Parsed;
}

GeoRecord geoRecordOf(const Json::Value& document) {
  GeoRecord record;
  if (document.size() == 0) return record;
  if (!document.isObject()) {
    record.root = GeoRecord::Root::NotObject;
    return record;
  }
  record.root = GeoRecord::Root::Object;
  record.colors = listOf(document["colors"], false);
  record.positions = listOf(document["positions"], false);
  record.indices = listOf(document["indices"], true);
  return record;
}

bool sameGeoRecord(const GeoRecord& a, const GeoRecord& b) {
  return a.root == b.root && sameList(a.colors, b.colors) && sameList(a.positions, b.positions) &&
         sameList(a.indices, b.indices);
}
