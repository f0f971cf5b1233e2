// The fast reader of a geometry record: Json::Reader's rules without its document tree.
#pragma once

#include <string_view>

#include "import/geo_reader.h"

// Reads the text as Json::Reader with its default features would, filling record (replaced
// whole) with what the import reads. Returns Unsure where it can't be sure of the reader's
// judgement or of a value (a real in an unusual form, or beyond the range of doubles); the
// record then holds nothing of use.
GeoParse scanGeoRecord(std::string_view text, GeoRecord* record);
