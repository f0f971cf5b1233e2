// Typed reads of design values for the loader's fast path. Each read throws
// json_source::Unsure where the document reader would refuse the value, or might read it
// otherwise; the loader then leaves the whole text to the document reader.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "standin/design/design.h"
#include "standin/design/json_source.h"

namespace host::design_stream {

// Whole numbers only: the document reader also takes reals such as 5.0 in some places,
// which are left to it.
uint32_t ReadUInt32(json_source::Source& in);
uint64_t ReadUInt64(json_source::Source& in);
double ReadFinite(json_source::Source& in);
// A finite number within the bound of coordinates, radii and transform entries.
double ReadGeometry(json_source::Source& in);
// Well-formed UTF-8 without a zero character; a name is also not empty.
std::string ReadText(json_source::Source& in);
std::string ReadName(json_source::Source& in);
// A colour id or "bylevel".
uint32_t ReadColor(json_source::Source& in);
Rgb ReadRgb(json_source::Source& in);
// Exactly count numbers in an array: finite ones, within the geometry bound if asked.
void ReadNumbers(json_source::Source& in, double* out, int count, bool geometry);
DPoint3d ReadPoint(json_source::Source& in);
std::vector<DPoint3d> ReadPoints(json_source::Source& in);

// The index of key among names, or -1.
int IndexOf(std::string_view key, std::initializer_list<std::string_view> names);
// Marks a member of an object as seen in the bit set; an unknown member (-1) or one given
// twice is a fault.
void See(uint32_t* seen, int member);

}  // namespace host::design_stream
