// Reading a geometry record (geo.json) for the import: only what the import uses, the root's
// kind and the lists "colors", "positions" and "indices", without building a document tree.
//
// The text is judged exactly as jsoncpp's Json::Reader judges it with its default features
// (comments allowed, any value as the root, anything after the root ignored, the last of
// duplicate keys kept, at most 1000 nested containers), and every number gets the value that
// reader gives it. Where the fast reader can't be sure of that (a number form it doesn't
// decode itself), it hands the whole text to Json::Reader.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// One list member of the record, read as the import reads it.
struct GeoList {
  // Null: the member is missing or null. Numbers: an array whose entries are all null,
  // booleans or numbers. Other: anything else (its entries are then not kept).
  enum class Kind { Null, Numbers, Other };
  Kind kind = Kind::Null;
  size_t size = 0;  // entries of a Numbers array
  // Each entry as a double (null 0, true 1, false 0); kept for "colors" and "positions".
  std::vector<double> values;
  // Each entry as a 32-bit index (a real truncated toward zero, null 0, true 1, false 0), or 0
  // where it holds none; kept for "indices" only.
  std::vector<int32_t> indexes;
  bool indexesFit = true;  // false when an entry of "indices" holds no 32-bit index
};

struct GeoRecord {
  // Empty: the root has no entries (null, a scalar, [] or {}). NotObject: a non-empty array.
  // Object: an object with at least one member; only then are the lists read.
  enum class Root { Empty, NotObject, Object };
  Root root = Root::Empty;
  GeoList colors;
  GeoList positions;
  GeoList indices;
};

enum class GeoParse {
  Parsed,   // the reader accepts the text; the record holds what it read
  Refused,  // the reader reports a syntax error
  TooDeep,  // the reader raises an exception: nesting beyond its limit
  Unsure,   // (the fast reader alone) it can't tell; Json::Reader must judge
};

// The fast reader, with Json::Reader behind it where the fast reader is Unsure. Never returns
// Unsure. On anything but Parsed the record holds nothing of use.
GeoParse readGeoRecord(std::string_view text, GeoRecord* record);

// The reference: Json::Reader (default features, comments not collected) builds the
// document, which geoRecordOf then reads.
GeoParse readGeoRecordByDom(std::string_view text, GeoRecord* record);

// What the import reads of a parsed document.
GeoRecord geoRecordOf(const Json::Value& document);

// Whether two records hold the same, doubles compared bit for bit (so 0.0 differs from -0.0).
bool sameGeoRecord(const GeoRecord& a, const GeoRecord& b);
