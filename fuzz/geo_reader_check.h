// The differential check of the fast geometry record reader against Json::Reader, shared by
// the fuzz target and the regular tests that replay its corpus.
#pragma once

#include <string>
#include <string_view>

#include "import/geo_reader.h"
#include "import/geo_scanner.h"

namespace geo_check {

inline const char* nameOf(GeoParse parse) {
  switch (parse) {
    case GeoParse::Parsed:
      return "parsed";
    case GeoParse::Refused:
      return "refused";
    case GeoParse::TooDeep:
      return "too deep";
    case GeoParse::Unsure:
      return "unsure";
  }
  return "?";
}

// Empty when the fast reader (alone, unless it is unsure, and with its fallback) judges the
// text as Json::Reader does and reads the same record from it; otherwise what differs.
inline std::string differenceFromReader(std::string_view text) {
  GeoRecord expected;
  const GeoParse reference = readGeoRecordByDom(text, &expected);
  GeoRecord scanned;
  const GeoParse fast = scanGeoRecord(text, &scanned);
  GeoRecord read;
  const GeoParse full = readGeoRecord(text, &read);
  if (full != reference)
    return std::string("with fallback ") + nameOf(full) + ", Json::Reader " + nameOf(reference);
  if (fast != GeoParse::Unsure && fast != reference)
    return std::string("fast reader ") + nameOf(fast) + ", Json::Reader " + nameOf(reference);
  if (reference != GeoParse::Parsed) return std::string();
  if (!sameGeoRecord(read, expected)) return "the record read with fallback differs";
  if (fast == GeoParse::Parsed && !sameGeoRecord(scanned, expected))
    return "the record read by the fast reader differs";
  return std::string();
}

}  // namespace geo_check
