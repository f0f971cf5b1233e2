#include "standin/design/design_stream_values.h"

#include <cmath>

#include "standin/design/design_values.h"

namespace host::design_stream {

using json_source::Number;
using json_source::Source;
using json_source::unsure;

uint32_t ReadUInt32(Source& in) {
  uint64_t value = ReadUInt64(in);
  if (value > UINT32_MAX) unsure();
  return static_cast<uint32_t>(value);
}

uint64_t ReadUInt64(Source& in) {
  Number number = in.ReadNumber();
  if (!number.integral || (number.negative && number.magnitude != 0)) unsure();
  return number.magnitude;
}

double ReadFinite(Source& in) { return in.ReadNumber().AsDouble(); }

double ReadGeometry(Source& in) {
  double value = ReadFinite(in);
  if (std::fabs(value) > design_json::kMaxGeometryValue) unsure();
  return value;
}

std::string ReadText(Source& in) {
  std::string_view text = in.ReadString();
  if (!design_json::isValidUtf8(text) || text.find('\0') != std::string_view::npos) unsure();
  return std::string(text);
}

std::string ReadName(Source& in) {
  std::string name = ReadText(in);
  if (name.empty()) unsure();
  return name;
}

uint32_t ReadColor(Source& in) {
  if (in.PeekValue() != '"') return ReadUInt32(in);
  if (in.ReadString() != "bylevel") unsure();
  return kByLevelColor;
}

Rgb ReadRgb(Source& in) {
  uint8_t parts[3];
  if (!in.BeginArray()) unsure();
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && !in.NextInArray()) unsure();
    uint32_t part = ReadUInt32(in);
    if (part > 255) unsure();
    parts[i] = static_cast<uint8_t>(part);
  }
  if (in.NextInArray()) unsure();
  return {parts[0], parts[1], parts[2]};
}

void ReadNumbers(Source& in, double* out, int count, bool geometry) {
  if (!in.BeginArray()) unsure();
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !in.NextInArray()) unsure();
    out[i] = geometry ? ReadGeometry(in) : ReadFinite(in);
  }
  if (in.NextInArray()) unsure();
}

DPoint3d ReadPoint(Source& in) {
  double xyz[3];
  ReadNumbers(in, xyz, 3, true);
  return {xyz[0], xyz[1], xyz[2]};
}

std::vector<DPoint3d> ReadPoints(Source& in) {
  std::vector<DPoint3d> points;
  if (!in.BeginArray()) return points;
  do points.push_back(ReadPoint(in));
  while (in.NextInArray());
  return points;
}

int IndexOf(std::string_view key, std::initializer_list<std::string_view> names) {
  int index = 0;
  for (std::string_view name : names) {
    if (key == name) return index;
    ++index;
  }
  return -1;
}

void See(uint32_t* seen, int member) {
  if (member < 0 || (*seen & (1u << member))) unsure();
  *seen |= 1u << member;
}

}  // namespace host::design_stream
