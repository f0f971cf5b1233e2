// The tool as a person runs it: on the sample's export, and on folders that give nothing.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <tiny_gltf.h>

#include <filesystem>
#include <set>
#include <string>

#include "testing/test_support.h"
#include "tools/gltf/export_reader.h"

namespace {

namespace fs = std::filesystem;
using test_support::RunProcess;
using test_support::TempFolder;

// Every element folder of the sample's export is one node whose points, put back where the
// node's translation says, are the record's points in metres.
TEST(GltfToolTest, SampleExportBecomesOneNodePerElementFolder) {
  TempFolder temp;
  const std::string driveC = temp.Path() + "/c";
  auto exported = test_support::RunShell(
      {"--drive-c", driveC, test_support::SourceDir() + "/samples/Site.dgn", "tolvane export"});
  ASSERT_EQ(exported.exitCode, 0) << exported.err;
  const fs::path folder = fs::path(driveC) / "Temp" / "Site";
  const std::string out = temp.Path() + "/Site.glb";
  auto converted = RunProcess(TOLVANE_GLTF, {folder.string(), out});
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_EQ(converted.err, "");

  tinygltf::Model model;
  tinygltf::TinyGLTF loader;
  std::string error, warning;
  ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warning, out)) << error;
  const std::vector<fs::path> folders = gltf::elementFolders(folder);
  const std::vector<int>& children = model.nodes[0].children;
  ASSERT_EQ(children.size(), folders.size());
  for (size_t i = 0; i < folders.size(); ++i) {
    const tinygltf::Node& node = model.nodes[children[i]];
    SCOPED_TRACE(node.name);
    EXPECT_EQ(node.name, folders[i].filename().string());
    gltf::ElementRecords element;
    std::vector<std::string> problems;
    ASSERT_TRUE(gltf::readElement(folders[i], &element, &problems));
    EXPECT_EQ(node.extras.Get("component").Get("ElementID").Get<std::string>(),
              element.component["ElementID"].asString());

    const tinygltf::Primitive& primitive = model.meshes[node.mesh].primitives[0];
    const tinygltf::Accessor& positions = model.accessors[primitive.attributes.at("POSITION")];
    const tinygltf::BufferView& view = model.bufferViews[positions.bufferView];
    const auto* point = reinterpret_cast<const float*>(model.buffers[0].data.data() +
                                                       view.byteOffset + positions.byteOffset);
    ASSERT_EQ(positions.count * 3, element.positions.size());
    for (size_t k = 0; k < element.positions.size(); ++k) {
      EXPECT_NEAR(point[k] + node.translation[k % 3], element.positions[k] / 1000, 1e-6);
    }
  }
}

TEST(GltfToolTest, NothingToConvertMeansNoFileAndAFailingStatus) {
  TempFolder temp;
  const std::string out = temp.Path() + "/out.glb";
  temp.WriteFile("in/A/geo.json", "{}");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{}, 1, "usage: tolvane-gltf FOLDER OUT.glb"},
      {{temp.Path() + "/missing", out}, 2, "missing: can't be listed"},
      {{temp.Path() + "/in", out}, 2, "no element record could be read"},
  };
  for (const auto& test : cases) {
    auto result = RunProcess(TOLVANE_GLTF, test.args);
    EXPECT_EQ(result.exitCode, test.status) << result.err;
    EXPECT_NE(result.err.find(test.message), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(out));
  }
}

// What the tool can't take is named with its file and place; the status says whether a file
// was written, and nothing half-written is ever left at the output.
TEST(GltfToolTest, RecordsItCantTakeAreNamedWithTheirStatus) {
  const std::string good = R"({ "positions" : [0,0,0, 1,0,0, 0,1,0], "indices" : [0,1,2],
                                "colors" : [1, 0, 0, 1] })";
  const std::string huge = R"({ "positions" : [0,1e300,0, 1,0,0, 0,1,0], "indices" : [0,1,2],
                                "colors" : [1, 0, 0, 1] })";
  const struct {
    const char* name;
    std::string aRecord;  // A/geo.json; empty: a pipe with no writer
    bool withGoodRecord;  // B/geo.json is a good record
    int status;
    std::string message;
  } cases[] = {
      {"a pipe alone", "", false, 2, "A/geo.json: can't be read (is a device or pipe"},
      {"a pipe and a good record", "", true, 4, "A/geo.json: can't be read (is a device or pipe"},
      {"a coordinate beyond a float alone", huge, false, 2,
       "A/geo.json: positions[1]: 1e+300 is beyond the range of a float"},
      {"a coordinate beyond a float and a good record", huge, true, 4,
       "A/geo.json: positions[1]: 1e+300 is beyond the range of a float"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    TempFolder temp;
    const fs::path in = fs::path(temp.Path()) / "in";
    fs::create_directories(in / "A");
    if (test.aRecord.empty()) {
#ifdef _WIN32
      continue;  // no FIFOs on Windows
#else
      ASSERT_EQ(mkfifo((in / "A" / "geo.json").c_str(), 0600), 0);
#endif
    } else {
      temp.WriteFile("in/A/geo.json", test.aRecord);
    }
    if (test.withGoodRecord) temp.WriteFile("in/B/geo.json", good);
    const std::string out = temp.Path() + "/out.glb";
    auto result = RunProcess(TOLVANE_GLTF, {in.string(), out});
    EXPECT_EQ(result.exitCode, test.status) << result.err;
    EXPECT_NE(result.err.find(test.message), std::string::npos) << result.err;
    const std::set<std::string> written = {"in", "out.glb"}, none = {"in"};
    EXPECT_EQ(test_support::FolderEntries(temp.Path()), test.status == 4 ? written : none)
        << "no partial file is left";
  }
}

}  // namespace
