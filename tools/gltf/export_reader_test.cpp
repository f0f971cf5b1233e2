#include "tools/gltf/export_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::TempFolder;

const char kComponent[] = R"({ "code" : "D - M - 7", "ElementID" : "7", "name" : "Mesh" })";
const char kAttributes[] =
    R"({ "attribute" : { "Door" : { "Width" : "900" } }, "avoclass" : "orvelAttributes" })";

struct GeometryCase {
  const char* name;
  std::string geo;    // the text of geo.json
  std::string fault;  // a part of the expected message; empty when the record is good
};

std::string geoText(const std::string& positions, const std::string& indices,
                    const std::string& colors = "[0.5, 0.25, 1, 0.75]") {
  return R"({ "code" : "D - M - 7", "positions" : )" + positions + R"(, "indices" : )" + indices +
         R"(, "colors" : )" + colors + " }";
}

const std::string kSquare = "[0,0,0, 1000,0,0, 1000,1000,0, 0,1000,0]";

// Every way a geometry record can fail carries its own message naming the member.
TEST(ExportReaderTest, GeometryRecordFaultsNameFileAndMember) {
  const std::vector<GeometryCase> cases = {
      {"good", geoText(kSquare, "[0,1,2, 0,2,3]"), ""},
      {"empty file", "", "not JSON"},
      {"not JSON", "{ \"positions\" : [1, 2", "not JSON"},
      {"array root", "[1, 2, 3]", "not an object"},
      {"no positions", R"({ "indices" : [0, 1, 2], "colors" : [1, 1, 1, 1] })",
       "no \"positions\" member"},
      {"no indices", R"({ "positions" : [0, 0, 0], "colors" : [1, 1, 1, 1] })",
       "no \"indices\" member"},
      {"positions not array", geoText("{}", "[0,1,2]"), "positions: not an array"},
      {"text coordinate", geoText("[0, \"1\", 0]", "[0,0,0]"), "positions[1]: not a finite"},
      {"huge coordinate", geoText("[0, 1e999, 0]", "[0,0,0]"), "'1e999' is not a number"},
      {"coordinate beyond a float", geoText("[0, 0, 1e300]", "[0,0,0]"),
       "positions[2]: 1e+300 is beyond the range of a float"},
      {"largest float coordinate", geoText("[3.4028234663852886e38, 0, -3.4e38]", "[0,0,0]"), ""},
      {"no points", geoText("[]", "[0,1,2]"), "positions: no points"},
      {"half point", geoText("[0, 0, 0, 1]", "[0,0,0]"), "not x, y, z triples"},
      {"no triangles", geoText(kSquare, "[]"), "indices: no triangles"},
      {"half triangle", geoText(kSquare, "[0, 1]"), "2 entries, not triangles"},
      {"index past end", geoText(kSquare, "[0, 1, 4]"), "indices[2]: 4 names no point"},
      {"negative index", geoText(kSquare, "[0, -1, 2]"), "indices[1]: -1 names no point"},
      {"fractional index", geoText(kSquare, "[0, 1.5, 2]"), "indices[1]: 1.5 names no point"},
      {"no colours", geoText(kSquare, "[0,1,2]", "null"), "no \"colors\" member"},
      {"two colours", geoText(kSquare, "[0,1,2]", "[1, 1]"), "fewer than red, green and blue"},
  };
  for (const GeometryCase& test : cases) {
    SCOPED_TRACE(test.name);
    TempFolder temp;
    temp.WriteFile("D - M - 7/geo.json", test.geo);
    temp.WriteFile("D - M - 7/component.json", kComponent);
    temp.WriteFile("D - M - 7/attr.json", kAttributes);
    gltf::ElementRecords element;
    std::vector<std::string> problems;
    const bool read = gltf::readElement(fs::path(temp.Path()) / "D - M - 7", &element, &problems);
    EXPECT_EQ(read, test.fault.empty());
    if (test.fault.empty()) {
      EXPECT_TRUE(problems.empty());
      continue;
    }
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("D - M - 7/geo.json: "), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find(test.fault), std::string::npos) << problems[0];
  }
}

// The parser refuses what overflows, but a document built in memory can hold infinities.
TEST(ExportReaderTest, NonFiniteValuesAreRefused) {
  for (const char* key : {"positions", "colors"}) {
    Json::Value geo;
    for (const char* member : {"positions", "indices", "colors"}) {
      for (int i = 0; i < 3; ++i) {
        geo[member].append(i == 1 && std::string(key) == member ? INFINITY : 0.0);
      }
    }
    gltf::ElementRecords element;
    const std::string fault = gltf::takeGeometry(geo, "g.json", "F", &element);
    EXPECT_EQ(fault, std::string("g.json: ") + key + "[1]: not a finite number");
  }
}

TEST(ExportReaderTest, GoodRecordsAreTakenWhole) {
  TempFolder temp;
  temp.WriteFile("F/geo.json", geoText(kSquare, "[0,1,2, 0,2,3]", "[2, -1, 0.5]"));
  temp.WriteFile("F/component.json", kComponent);
  temp.WriteFile("F/attr.json", kAttributes);
  gltf::ElementRecords element;
  std::vector<std::string> problems;
  ASSERT_TRUE(gltf::readElement(fs::path(temp.Path()) / "F", &element, &problems));
  EXPECT_EQ(element.code, "D - M - 7");  // the record's code, not the folder's name
  EXPECT_EQ(element.positions.size(), 12u);
  EXPECT_EQ(element.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
  // Colours are clamped into 0..1 and a missing opacity means opaque.
  EXPECT_EQ(element.color, (std::array<double, 4>{1, 0, 0.5, 1}));
  EXPECT_EQ(element.component["ElementID"].asString(), "7");
  EXPECT_EQ(element.attributes["Door"]["Width"].asString(), "900");
}

// Component and attribute records are extras: without them the element is still drawn.
TEST(ExportReaderTest, MissingOrBrokenSideRecordsAreReportedButKeepTheElement) {
  TempFolder temp;
  temp.WriteFile("Folder name/geo.json",
                 R"({ "positions" : [0,0,0, 1,0,0, 0,1,0], "indices" : [0,1,2],
                      "colors" : [1, 1, 1, 1] })");
  temp.WriteFile("Folder name/attr.json", "{ \"attribute\" : ");
  gltf::ElementRecords element;
  std::vector<std::string> problems;
  ASSERT_TRUE(gltf::readElement(fs::path(temp.Path()) / "Folder name", &element, &problems));
  EXPECT_EQ(element.code, "Folder name");  // no code in the record: the folder's name
  EXPECT_TRUE(element.component.isNull());
  EXPECT_TRUE(element.attributes.isNull());
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("component.json: can't be read (No such file or directory)"),
            std::string::npos);
  EXPECT_NE(problems[1].find("attr.json: not JSON"), std::string::npos);
}

TEST(ExportReaderTest, ElementFoldersAreSortedAndFilesIgnored) {
  TempFolder temp;
  for (const char* name : {"b/x", "a - 10/x", "a - 9/x", "C/x", "loose.json"}) {
    temp.WriteFile(name, "{}");
  }
  std::vector<std::string> names;
  for (const fs::path& folder : gltf::elementFolders(temp.Path())) {
    names.push_back(folder.filename().string());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"C", "a - 10", "a - 9", "b"}));
  EXPECT_THROW(gltf::elementFolders(fs::path(temp.Path()) / "missing"), fs::filesystem_error);
}

}  // namespace
