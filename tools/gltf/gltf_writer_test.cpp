#include "tools/gltf/gltf_writer.h"

#include <gtest/gtest.h>

#include <json/reader.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "standin/files/file_system.h"
#include "testing/fault_file_system.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::TempFolder;

TEST(GltfWriterTest, ValidUtf8KeepsWellFormedTextAndReplacesTheRest) {
  const std::string replacement = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain", "plain"},
      {"T\xC3\xBCr \xE2\x82\xAC \xF0\x9F\x9A\xAA", "T\xC3\xBCr \xE2\x82\xAC \xF0\x9F\x9A\xAA"},
      {"T\xFCr", "T" + replacement + "r"},                        // a Latin-1 byte
      {"\xC0\xAF", replacement + replacement},                    // an overlong slash
      {"\xE0\x80\xAF", replacement + replacement + replacement},  // overlong in three bytes
      {"\xED\xA0\x80", replacement + replacement + replacement},  // a surrogate
      {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},  // > U+10FFFF
      {"end\xE2\x82", "end" + replacement + replacement},                           // cut short
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(gltf::validUtf8(input), expected) << input;
  }
}

// Whatever bytes come in, what comes out is left alone by a second pass: it is valid.
TEST(GltfWriterTest, ValidUtf8OutputIsAFixedPoint) {
  std::mt19937 random(12);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 12);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int i = length(random); i > 0; --i) text += static_cast<char>(byte(random));
    const std::string once = gltf::validUtf8(text);
    EXPECT_EQ(gltf::validUtf8(once), once);
  }
}

// The JSON chunk of a binary glTF file, checked against the header's lengths.
Json::Value glbJson(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(stream)),
                          std::istreambuf_iterator<char>());
  auto word = [&](size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
  };
  EXPECT_EQ(bytes.substr(0, 4), "glTF");
  EXPECT_EQ(word(4), 2u);
  EXPECT_EQ(word(8), bytes.size());
  EXPECT_EQ(bytes.substr(16, 4), "JSON");
  const uint32_t length = word(12);
  EXPECT_EQ(length % 4, 0u);
  Json::Value document;
  std::istringstream json(bytes.substr(20, length));
  std::string errors;
  EXPECT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), json, &document, &errors)) << errors;
  return document;
}

// Every class of the attribute record reaches the extras with its value, whatever the value:
// null, {} and [] included, at the top and deeper down; strings and keys are made UTF-8.
TEST(GltfWriterTest, ExtrasHoldEveryClassWithItsValue) {
  Json::Value attributes;
  Json::Reader().parse(R"({ "Null" : null, "Empty" : {}, "List" : [], "Door" : { "Width" : "900",
      "Gone" : null, "Nested" : { "E" : {}, "L" : [null, [], {}] } }, "Int" : -7,
      "Big" : 18446744073709551615, "Real" : 0.1, "Flag" : false })",
                       attributes);
  attributes["T\xFCr"] = "\xFC";
  Json::Value expected = attributes;
  expected.removeMember("T\xFCr");
  expected["T\xEF\xBF\xBDr"] = "\xEF\xBF\xBD";
  EXPECT_EQ(gltf::extrasValue(attributes), expected);

  gltf::GlbBuilder builder;
  gltf::ElementRecords element;
  element.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  element.indices = {0, 1, 2};
  element.attributes = attributes;
  builder.add(element);
  element.attributes = Json::Value(Json::objectValue);  // a record without classes
  builder.add(element);
  TempFolder temp;
  const fs::path file = fs::path(temp.Path()) / "out.glb";
  ASSERT_EQ(builder.write(file), "");
  const Json::Value document = glbJson(file);
  EXPECT_EQ(document["nodes"][1]["extras"]["attributes"], expected);
  EXPECT_EQ(document["nodes"][2]["extras"]["attributes"], Json::Value(Json::objectValue));
  EXPECT_FALSE(document["nodes"][0].isMember("extras"));
  EXPECT_EQ(document["buffers"][0]["byteLength"].asUInt64(),
            builder.model().buffers[0].data.size());
}

// Random elements far from the origin: written, read back with the library's own reader,
// and every point put back in place (root matrix, node translation, float position) within
// a tenth of a millimetre of where the record had it.
TEST(GltfWriterTest, RoundTripKeepsPointsTrianglesColoursAndIdentity) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> far(-1e9, 1e9), near(-50000, 50000), unit(0, 1);
  std::vector<gltf::ElementRecords> elements(20);
  gltf::GlbBuilder builder;
  for (size_t e = 0; e < elements.size(); ++e) {
    gltf::ElementRecords& element = elements[e];
    element.code = "Site.dgn - Default - " + std::to_string(e);
    const double origin[3] = {far(random), far(random), far(random)};
    for (int point = 0; point < 9; ++point) {
      for (double axis : origin) element.positions.push_back(axis + near(random));
    }
    for (uint32_t index : {0, 1, 2, 3, 4, 5, 8, 7, 6}) element.indices.push_back(index);
    element.color = {unit(random), unit(random), unit(random), e % 2 ? 1.0 : 0.5};
    element.component["ElementID"] = std::to_string(e);
    if (e % 3 == 0) element.attributes["Door"]["Width"] = "900";
    builder.add(element);
  }
  TempFolder temp;
  const fs::path file = fs::path(temp.Path()) / "out.glb";
  ASSERT_EQ(builder.write(file), "");
  EXPECT_EQ(test_support::FolderEntries(temp.Path()), std::set<std::string>{"out.glb"});

  tinygltf::Model model;
  tinygltf::TinyGLTF reader;
  std::string error, warning;
  ASSERT_TRUE(reader.LoadBinaryFromFile(&model, &error, &warning, file.string())) << error;
  ASSERT_EQ(model.nodes.size(), elements.size() + 1);
  const tinygltf::Node& root = model.nodes[0];
  ASSERT_EQ(model.scenes[model.defaultScene].nodes, std::vector<int>{0});
  ASSERT_EQ(root.children.size(), elements.size());
  // The root's matrix (column-major) takes the records' Z axis to Y and their Y axis to -Z.
  ASSERT_EQ(root.matrix, (std::vector<double>{1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}));
  for (size_t e = 0; e < elements.size(); ++e) {
    SCOPED_TRACE(e);
    const gltf::ElementRecords& element = elements[e];
    const tinygltf::Node& node = model.nodes[root.children[e]];
    EXPECT_EQ(node.name, element.code);
    EXPECT_TRUE(node.rotation.empty() && node.scale.empty() && node.matrix.empty());
    EXPECT_EQ(node.extras.Get("component").Get("ElementID").Get<std::string>(), std::to_string(e));
    EXPECT_EQ(node.extras.Has("attributes"), e % 3 == 0);
    const tinygltf::Primitive& primitive = model.meshes[node.mesh].primitives[0];
    EXPECT_EQ(primitive.mode, TINYGLTF_MODE_TRIANGLES);

    const tinygltf::Material& material = model.materials[primitive.material];
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(material.pbrMetallicRoughness.baseColorFactor[i], element.color[i]);
    }
    EXPECT_EQ(material.alphaMode, element.color[3] < 1 ? "BLEND" : "OPAQUE");
    EXPECT_TRUE(material.doubleSided);

    const tinygltf::Accessor& indices = model.accessors[primitive.indices];
    const tinygltf::BufferView& indexView = model.bufferViews[indices.bufferView];
    const auto* index = reinterpret_cast<const uint32_t*>(
        model.buffers[0].data.data() + indexView.byteOffset + indices.byteOffset);
    EXPECT_EQ(std::vector<uint32_t>(index, index + indices.count), element.indices);

    const tinygltf::Accessor& positions = model.accessors[primitive.attributes.at("POSITION")];
    const tinygltf::BufferView& view = model.bufferViews[positions.bufferView];
    const auto* point = reinterpret_cast<const float*>(model.buffers[0].data.data() +
                                                       view.byteOffset + positions.byteOffset);
    ASSERT_EQ(positions.count * 3, element.positions.size());
    for (size_t i = 0; i < positions.count; ++i) {
      const double x = point[3 * i] + node.translation[0];
      const double y = point[3 * i + 1] + node.translation[1];
      const double z = point[3 * i + 2] + node.translation[2];
      EXPECT_NEAR(x, element.positions[3 * i] / 1000, 1e-4);
      EXPECT_NEAR(y, element.positions[3 * i + 1] / 1000, 1e-4);
      EXPECT_NEAR(z, element.positions[3 * i + 2] / 1000, 1e-4);
      for (int axis = 0; axis < 3; ++axis) {
        EXPECT_GE(point[3 * i + axis], positions.minValues[axis]);
        EXPECT_LE(point[3 * i + axis], positions.maxValues[axis]);
      }
    }
  }
}

TEST(GltfWriterTest, ElementsOfOneColourShareAMaterial) {
  gltf::GlbBuilder builder;
  gltf::ElementRecords element;
  element.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  element.indices = {0, 1, 2};
  for (double red : {0.0, 1.0, 0.0}) {
    element.color = {red, 0, 0, 1};
    builder.add(element);
  }
  EXPECT_EQ(builder.elementCount(), 3u);
  EXPECT_EQ(builder.model().materials.size(), 2u);
}

struct ConvertCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;  // relative name, contents
  int status;
  std::vector<std::string> messages;  // parts of standard error, in order
};

// The whole conversion: what is written, what is said, and the status.
TEST(GltfWriterTest, ConvertExportStatusesAndMessages) {
  const std::string good =
      R"({ "code" : "C", "positions" : [0,0,0, 1,0,0, 0,1,0], "indices" : [0,1,2],
           "colors" : [1, 0, 0, 1] })";
  const std::vector<ConvertCase> cases = {
      {"no folders", {{"loose.json", "{}"}}, 2, {"no element record could be read"}},
      {"only a broken record",
       {{"A/geo.json", "nonsense"}},
       2,
       {"A/geo.json: not JSON", "no element record could be read"}},
      {"one broken, one good",
       {{"A/geo.json", "{}"},
        {"B/geo.json", good},
        {"B/component.json", "{}"},
        {"B/attr.json", "{}"}},
       4,
       {"A/geo.json: no \"positions\" member"}},
      {"only a coordinate beyond a float",
       {{"A/geo.json", R"({ "positions" : [0,1e300,0, 1,0,0, 0,1,0], "indices" : [0,1,2],
                            "colors" : [1, 0, 0, 1] })"}},
       2,
       {"A/geo.json: positions[1]: 1e+300 is beyond the range of a float",
        "no element record could be read"}},
      {"a coordinate beyond a float, one good",
       {{"A/geo.json", R"({ "positions" : [0,0,0, 1,0,0, 0,1,-3.5e38], "indices" : [0,1,2],
                            "colors" : [1, 0, 0, 1] })"},
        {"B/geo.json", good},
        {"B/component.json", "{}"},
        {"B/attr.json", "{}"}},
       4,
       {"A/geo.json: positions[8]: -3.5e+38 is beyond the range of a float"}},
      {"every record good",
       {{"B/geo.json", good}, {"B/component.json", "{}"}, {"B/attr.json", "{}"}},
       0,
       {}},
  };
  for (const ConvertCase& test : cases) {
    SCOPED_TRACE(test.name);
    TempFolder temp;
    for (const auto& [name, contents] : test.files) temp.WriteFile("in/" + name, contents);
    const fs::path out = fs::path(temp.Path()) / "out.glb";
    std::ostringstream problems;
    EXPECT_EQ(gltf::convertExport(fs::path(temp.Path()) / "in", out, problems), test.status);
    EXPECT_EQ(fs::exists(out), test.status == 0 || test.status == 4);
    const std::string said = problems.str();
    size_t from = 0;
    for (const std::string& message : test.messages) {
      from = said.find(message, from);
      EXPECT_NE(from, std::string::npos) << message << " in " << said;
    }
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), test.messages.size()) << said;
  }
}

#ifndef _WIN32  // FIFOs and /dev/zero are POSIX things
// A record that is a pipe (with no writer) or a device is refused at once: nothing waits for a
// writer, and nothing reads the endless zeros of /dev/zero.
TEST(GltfWriterTest, PipesAndDevicesAreRefusedWithoutWaitingOrReading) {
  TempFolder temp;
  const fs::path in = fs::path(temp.Path()) / "in";
  temp.WriteFile("in/B/geo.json", R"({ "positions" : [0,0,0, 1,0,0, 0,1,0], "indices" : [0,1,2],
                                       "colors" : [1, 0, 0, 1] })");
  temp.WriteFile("in/B/component.json", "{}");
  fs::create_directories(in / "A");
  fs::create_directories(in / "C");
  ASSERT_EQ(mkfifo((in / "A" / "geo.json").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((in / "B" / "attr.json").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", in / "C" / "geo.json");
  const fs::path out = fs::path(temp.Path()) / "out.glb";
  std::ostringstream problems;
  EXPECT_EQ(gltf::convertExport(in, out, problems), 4);
  EXPECT_TRUE(fs::exists(out));
  const std::string notRegular = ": can't be read (is a device or pipe, not a regular file)\n";
  EXPECT_EQ(problems.str(), (in / "A" / "geo.json").string() + notRegular +
                                (in / "B" / "attr.json").string() + notRegular +
                                (in / "C" / "geo.json").string() + notRegular);
}
#endif

// However the writing fails, nothing half-written is at the output path: a file that was there
// before is left as it was, and no temporary file remains.
TEST(GltfWriterTest, AWriteThatFailsAnywhereLeavesTheOutputAsItWas) {
  TempFolder temp;
  temp.WriteFile("in/A/geo.json", R"({ "positions" : [0,0,0, 1,0,0, 0,1,0], "indices" : [0,1,2],
                                       "colors" : [1, 0, 0, 1] })");
  const std::string out = temp.WriteFile("out.glb", "the file before");
  using host::testing::FileOp;
  for (FileOp op :
       {FileOp::NewWritableFile, FileOp::Append, FileOp::Sync, FileOp::Close, FileOp::RenameFile}) {
    SCOPED_TRACE(host::testing::FileOpName(op));
    host::testing::FaultInjectingFileSystem failing;
    failing.FailOp(op, "out.glb");
    std::ostringstream problems;
    {
      host::ScopedFileSystem installed(failing);
      EXPECT_EQ(gltf::convertExport(fs::path(temp.Path()) / "in", out, problems), 3);
    }
    EXPECT_EQ(failing.FaultsInjected(), 1u);
    EXPECT_NE(problems.str().find("out.glb: can't be written"), std::string::npos)
        << problems.str();
    std::ifstream stream(out, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stream), {}), "the file before");
    EXPECT_EQ(test_support::FolderEntries(temp.Path()), (std::set<std::string>{"in", "out.glb"}))
        << "no partial file is left";
  }
}

TEST(GltfWriterTest, ConvertExportFailsWithoutLeavingAFile) {
  TempFolder temp;
  std::ostringstream problems;
  EXPECT_EQ(
      gltf::convertExport(fs::path(temp.Path()) / "missing", temp.Path() + "/x.glb", problems), 2);
  EXPECT_NE(problems.str().find("missing: can't be listed"), std::string::npos);

  temp.WriteFile("in/A/geo.json", R"({ "positions" : [0,0,0, 1,0,0, 0,1,0],
                                       "indices" : [0,1,2], "colors" : [1, 0, 0, 1] })");
  const fs::path out = fs::path(temp.Path()) / "no such folder" / "x.glb";
  EXPECT_EQ(gltf::convertExport(fs::path(temp.Path()) / "in", out, problems), 3);
  EXPECT_NE(problems.str().find("x.glb: can't be written"), std::string::npos);
  EXPECT_FALSE(fs::exists(out.parent_path()));
}

}  // namespace
