// The way back: the sample design is exported through the shell, its main output folder
// imported into an empty design and saved, and the saved design read again. Every new
// element must carry its geometry record's points, faces and colour.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>
#include <json/json.h>

#include "standin/design/design_loader.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::RunShell;
using test_support::TempFolder;

constexpr double kTargetUorPerMeter = 2000;  // unlike the sample's, so that scaling shows

Json::Value readJson(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  Json::Value document;
  Json::CharReaderBuilder builder;
  std::string errors;
  EXPECT_TRUE(Json::parseFromStream(builder, in, &document, &errors)) << path << ": " << errors;
  return document;
}

host::Rgb displayedColor(const host::DesignFile& design, uint32_t colorId) {
  if (colorId < 256) return design.colorTable[colorId];
  auto found = design.trueColors.find(colorId);
  return found == design.trueColors.end() ? host::Rgb{} : found->second;
}

uint8_t exportedByte(const Json::Value& entry) {
  return static_cast<uint8_t>(std::lround(entry.asDouble() * 255));
}

void expectElementMatchesRecord(const host::DesignFile& design, const host::Element& element,
                                const Json::Value& record, const std::string& folder) {
  SCOPED_TRACE(folder);
  const Json::Value& positions = record["positions"];
  ASSERT_EQ(element.points.size() * 3, positions.size());
  const double scale = kTargetUorPerMeter * 0.001;
  for (Json::ArrayIndex i = 0; i < positions.size(); ++i) {
    const DPoint3d& point = element.points[i / 3];
    double actual = i % 3 == 0 ? point.x : i % 3 == 1 ? point.y : point.z;
    double expected = positions[i].asDouble() * scale;
    EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << "entry " << i;
  }
  const Json::Value& indices = record["indices"];
  ASSERT_EQ(element.faces.size() * 3, indices.size());
  for (Json::ArrayIndex i = 0; i < indices.size(); ++i)
    EXPECT_EQ(element.faces[i / 3][i % 3], indices[i].asInt() + 1) << "index " << i;
  const Json::Value& colors = record["colors"];
  host::Rgb color = displayedColor(design, element.color);
  EXPECT_EQ(color,
            (host::Rgb{exportedByte(colors[0]), exportedByte(colors[1]), exportedByte(colors[2])}));
}

TEST(RoundTripTest, ExportedRecordsComeBackAsTheSameMeshesAndColours) {
  TempFolder temp;
  const std::string driveC = temp.Path() + "/c";
  const std::string sample = test_support::SourceDir() + "/samples/Site.dgn";
  auto exported = RunShell({"--drive-c", driveC, sample, "tolvane export"});
  ASSERT_EQ(exported.exitCode, 0) << exported.err;

  std::string target = temp.WriteFile(
      "empty.dgn", R"({ "models": [ { "name": "Default", "uorPerMeter": 2000 } ] })");
  auto imported =
      RunShell({"--drive-c", driveC, "--save", target, "tolvane import C:\\Temp\\Site"});
  ASSERT_EQ(imported.exitCode, 0) << imported.err;
  EXPECT_EQ(imported.out, "") << "an imported record prints nothing";

  std::string error;
  auto saved = host::LoadDesignFile(target, &error);
  ASSERT_NE(saved, nullptr) << error;
  const host::Model& model = *saved->models.front();

  // The import takes the sub-folders sorted by the bytes of their names.
  std::vector<std::string> folders;
  for (const auto& entry : fs::directory_iterator(driveC + "/Temp/Site"))
    folders.push_back(entry.path().filename().string());
  std::sort(folders.begin(), folders.end());
  ASSERT_GT(folders.size(), 80u);
  ASSERT_EQ(model.elements.size(), folders.size());
  std::set<std::vector<uint8_t>> distinctColors;
  for (size_t i = 0; i < folders.size(); ++i) {
    Json::Value record = readJson(fs::path(driveC) / "Temp" / "Site" / folders[i] / "geo.json");
    expectElementMatchesRecord(*saved, *model.elements[i], record, folders[i]);
    const host::Rgb rgb = displayedColor(*saved, model.elements[i]->color);
    distinctColors.insert({rgb.red, rgb.green, rgb.blue});
  }
  EXPECT_GE(distinctColors.size(), 4u) << "the sample's colours are not all alike";
}

}  // namespace
