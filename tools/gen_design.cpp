// tolvane-gendesign OUT.dgn COUNT [--seed N]
//
// Writes a design of COUNT drawn elements for benchmarking: building parts laid out on a
// grid of bays (walls as extrusions, columns as cones, lamps as spheres, furniture as meshes,
// floor finishes as shapes, doors as cells with property instances) with some lines and text
// that give no meshes. The same seed gives the same file. Elements are streamed out as they
// are made, so memory stays flat whatever the count.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "standin/design/design.h"
#include "standin/design/design_writer.h"
#include "standin/files/file_system.h"

namespace {

constexpr double kBay = 60000;  // 6 m at 10000 units per metre
constexpr double kHeight = 30000;
constexpr uint64_t kMaxCount = 100000000;

const char kHeader[] = R"design({
  "activeModel": "Default",
  "levels": [
    { "id": 64, "name": "Default", "byLevelColor": 0 },
    { "id": 1, "name": "Walls", "byLevelColor": 3 },
    { "id": 2, "name": "Columns", "byLevelColor": 5 },
    { "id": 3, "name": "Doors", "byLevelColor": 6 },
    { "id": 4, "name": "Furniture", "byLevelColor": 300 },
    { "id": 5, "name": "Annotation", "byLevelColor": 1 }
  ],
  "trueColors": {
    "300": [18, 52, 86],
    "301": [181, 160, 122]
  },
  "classes": [
    { "name": "Door", "label": "Door", "properties": [
        { "name": "Width", "label": "Width" },
        { "name": "Height", "label": "Height" },
        { "name": "FireRating", "label": "Fire rating (min)" },
        { "name": "Mark", "label": "Mark" },
        { "name": "External", "label": "External" }
      ] },
    { "name": "Wall", "label": "Wall", "properties": [
        { "name": "Material", "label": "Material" },
        { "name": "Thickness", "label": "Thickness (mm)" }
      ] }
  ],
  "models": [
    {
      "name": "Default",
      "uorPerMeter": 10000,
      "elements": [
)design";

const char kFooter[] = "\n      ]\n    }\n  ]\n}\n";

class Generator {
 public:
  explicit Generator(uint64_t seed) : m_random(seed) {}

  // Makes element number `id` (from 1); its place follows from the id so that the elements
  // spread over a square site.
  std::unique_ptr<host::Element> Make(uint64_t id, uint64_t count);

 private:
  double uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(m_random);
  }
  int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }
  uint32_t color() {
    int roll = pick(10);
    if (roll < 4) return host::kByLevelColor;
    if (roll < 6) return 300 + static_cast<uint32_t>(pick(2));
    return static_cast<uint32_t>(pick(16));
  }

  void makeWall(host::Element* e, const DPoint3d& o);
  void makeBox(host::Element* e, const DPoint3d& o, double w, double d, double h);
  void makeDoor(host::Element* e, const DPoint3d& o, uint64_t id);

  std::mt19937_64 m_random;
};

std::vector<DPoint3d> rectangle(const DPoint3d& o, double w, double d) {
  return {{o.x, o.y, o.z}, {o.x + w, o.y, o.z}, {o.x + w, o.y + d, o.z}, {o.x, o.y + d, o.z}};
}

void Generator::makeWall(host::Element* e, const DPoint3d& o) {
  e->type = host::ElementType::Extrusion;
  e->level = 1;
  bool alongX = pick(2) == 0;
  double length = uniform(10000, kBay);
  e->profile = alongX ? rectangle(o, length, 2500) : rectangle(o, 2500, length);
  e->vector = {0, 0, kHeight};
  if (pick(2) == 0) {
    const char* materials[] = {"Concrete", "Brick", "Gypsum board", "Glass"};
    e->instances.push_back({"Wall",
                            {{"Material", std::string(materials[pick(4)])},
                             {"Thickness", std::round(uniform(100, 300))}}});
  }
}

void Generator::makeBox(host::Element* e, const DPoint3d& o, double w, double d, double h) {
  e->type = host::ElementType::Mesh;
  e->level = 4;
  e->points = rectangle(o, w, d);
  for (const DPoint3d& p : rectangle(o, w, d)) e->points.push_back({p.x, p.y, p.z + h});
  e->faces = {{1, 4, 3, 2}, {5, 6, 7, 8}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 4, 8, 7}, {4, 1, 5, 8}};
}

void Generator::makeDoor(host::Element* e, const DPoint3d& o, uint64_t id) {
  e->type = host::ElementType::Cell;
  e->level = 3;
  e->cellName = "Door";
  double angle = pick(4) * 1.5707963267948966;
  double c = std::round(std::cos(angle)), s = std::round(std::sin(angle));
  const double rows[12] = {c, -s, 0, o.x, s, c, 0, o.y, 0, 0, 1, o.z};
  e->transform = Transform::FromRowValues(rows);
  auto leaf = std::make_unique<host::Element>();
  leaf->type = host::ElementType::Extrusion;
  leaf->color = 6;
  leaf->profile = rectangle({0, 0, 0}, 9000, 400);
  leaf->vector = {0, 0, 21000};
  auto handle = std::make_unique<host::Element>();
  handle->type = host::ElementType::Sphere;
  handle->color = 4;
  handle->center = {8000, -300, 10500};
  handle->radius = 300;
  e->children.push_back(std::move(leaf));
  e->children.push_back(std::move(handle));
  host::Instance door{"Door", {}};
  door.values["Width"] = 900.0;
  door.values["Height"] = int64_t{2100};
  if (pick(3) != 0) door.values["FireRating"] = int64_t{30 * pick(4)};
  door.values["Mark"] = std::string("D").append(std::to_string(id));
  door.values["External"] = pick(5) == 0;
  e->instances.push_back(std::move(door));
}

std::unique_ptr<host::Element> Generator::Make(uint64_t id, uint64_t count) {
  auto e = std::make_unique<host::Element>();
  e->id = id;
  e->color = color();
  // About eight elements per bay, bays in a square.
  uint64_t side = 1;
  while (side * side * 8 < count) ++side;
  uint64_t bay = (id - 1) / 8;
  DPoint3d o{static_cast<double>(bay % side) * kBay + uniform(0, kBay / 2),
             static_cast<double>(bay / side) * kBay + uniform(0, kBay / 2), 0};
  int roll = pick(100);
  if (roll < 30) {
    makeWall(e.get(), o);
  } else if (roll < 42) {
    e->type = host::ElementType::Cone;
    e->level = 2;
    e->base = o;
    e->top = {o.x, o.y, kHeight};
    e->baseRadius = uniform(1000, 3000);
    e->topRadius = pick(4) == 0 ? e->baseRadius * 0.7 : e->baseRadius;
  } else if (roll < 50) {
    e->type = host::ElementType::Sphere;
    e->center = {o.x, o.y, uniform(20000, 28000)};
    e->radius = uniform(500, 2000);
  } else if (roll < 65) {
    makeBox(e.get(), o, uniform(4000, 16000), uniform(4000, 8000), uniform(4000, 9000));
  } else if (roll < 75) {
    e->type = host::ElementType::Shape;
    e->points = rectangle({o.x, o.y, 5}, uniform(10000, kBay / 2), uniform(10000, kBay / 2));
    if (pick(3) == 0) e->transparency = 0.5;
  } else if (roll < 85) {
    makeDoor(e.get(), o, id);
  } else if (roll < 90) {
    e->type = host::ElementType::Line;
    e->level = 5;
    e->points = {o, {o.x + uniform(1000, kBay), o.y, 0}};
  } else if (roll < 94) {
    e->type = host::ElementType::LineString;
    e->level = 5;
    e->points = {o, {o.x + 10000, o.y, 0}, {o.x + 10000, o.y + 10000, 0}};
  } else {
    e->type = host::ElementType::Text;
    e->level = 5;
    e->origin = o;
    e->text = "Room " + std::to_string(bay + 1);
  }
  return e;
}

bool parseUnsigned(const char* text, uint64_t* value) {
  const char* end = text + std::strlen(text);
  auto result = std::from_chars(text, end, *value);
  return *text != '\0' && result.ec == std::errc() && result.ptr == end;
}

int usage(const std::string& problem) {
  std::fprintf(stderr, "tolvane-gendesign: %s\nusage: tolvane-gendesign OUT.dgn COUNT [--seed N]\n",
               problem.c_str());
  return 1;
}

// Streams the design out in chunks of about a megabyte; false when the disk refuses.
bool writeDesign(host::WritableFile* file, uint64_t count, uint64_t seed) {
  Generator generator(seed);
  std::string chunk = kHeader;
  for (uint64_t id = 1; id <= count; ++id) {
    if (id > 1) chunk += ",\n";
    host::AppendElementText(*generator.Make(id, count), 8, &chunk);
    if (chunk.size() > (1u << 20)) {
      if (!file->Append(chunk).ok()) return false;
      chunk.clear();
    }
  }
  chunk += kFooter;
  return file->Append(chunk).ok() && file->Close().ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) return usage("expected an output file and a count");
  uint64_t count = 0, seed = 1;
  if (!parseUnsigned(argv[2], &count) || count == 0 || count > kMaxCount)
    return usage(std::string("the count must be a whole number from 1 to 100000000, not \"") +
                 argv[2] + "\"");
  if (argc == 5) {
    if (std::strcmp(argv[3], "--seed") != 0)
      return usage(std::string("unknown option \"") + argv[3] + "\"");
    if (!parseUnsigned(argv[4], &seed))
      return usage(std::string("the seed must be a whole number, not \"") + argv[4] + "\"");
  }
  host::FileSystem& files = host::LocalFileSystem();
  std::unique_ptr<host::WritableFile> file;
  host::FileStatus opened = files.NewWritableFile(argv[1], &file);
  if (!opened.ok()) {
    std::fprintf(stderr, "tolvane-gendesign: %s\n", opened.message().c_str());
    return 1;
  }
  if (!writeDesign(file.get(), count, seed)) {
    file.reset();
    files.RemoveFile(argv[1]);
    std::fprintf(stderr, "tolvane-gendesign: %s: can't write the file\n", argv[1]);
    return 1;
  }
  return 0;
}
