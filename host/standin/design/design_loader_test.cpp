#include "standin/design/design_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "standin/files/file_system.h"
#include "standin/files/system.h"

#include "testing/fault_file_system.h"
#include "testing/test_support.h"

namespace host {
namespace {

using ::testing::ElementsAre;

// A design with level 5, class Door and one model whose elements are `elements`.
std::string withElements(const std::string& elements) {
  return R"({ "levels": [ { "id": 5, "name": "Walls", "byLevelColor": 3 } ],
    "classes": [ { "name": "Door", "properties": [ { "name": "Width" }, { "name": "Mark" } ] } ],
    "models": [ { "name": "Default", "elements": [ )" +
         elements + " ] } ] }";
}

std::string withElement(const std::string& element) { return withElements(element); }

struct BadDesign {
  const char* what;
  std::string text;
  const char* message;
};

std::vector<BadDesign> BadDesigns() {
  const std::string line = R"("type": "line", "points": [[0,0,0],[1,0,0]])";
  const std::string mesh = R"("type": "mesh", "points": [[0,0,0],[1,0,0],[1,1,0],[0,1,0]])";
  return {
      {"bad JSON", R"({ "models": [ })",
       "Site.dgn: line 1, column 15: Syntax error: value, object or array expected."},
      {"duplicate key", R"({ "models": [], "models": [] })",
       "Site.dgn: line 1, column 17: Duplicate key: 'models'"},
      {"trailing text", R"({ "models": [] } x)",
       "Site.dgn: line 1, column 18: Extra non-whitespace after JSON value."},
      {"root not an object", "[]", "Site.dgn: expected an object, not an array"},
      {"too deep", std::string(3000, '[') + std::string(3000, ']'),
       "Site.dgn: the JSON nests too deeply"},
      {"no models", "{}", "Site.dgn: missing member \"models\""},
      {"empty models", R"({ "models": [] })",
       "Site.dgn: models: a design needs at least one model"},
      {"unknown top member", R"({ "model": [] })", "Site.dgn: unknown member \"model\""},
      {"model without name", R"({ "models": [ {} ] })",
       "Site.dgn: models[0]: missing member \"name\""},
      {"duplicate model", R"({ "models": [ { "name": "A" }, { "name": "A" } ] })",
       "Site.dgn: models[1].name: a model named \"A\" already exists"},
      {"uorPerMeter zero", R"({ "models": [ { "name": "A", "uorPerMeter": 0 } ] })",
       "Site.dgn: models[0].uorPerMeter: must be above 0"},
      {"uorPerMeter subnormal", R"({ "models": [ { "name": "A", "uorPerMeter": 1e-320 } ] })",
       "Site.dgn: models[0].uorPerMeter: must be a normal number (2.2250738585072014e-308 or "
       "above)"},
      {"uorPerMeter negative", R"({ "models": [ { "name": "A", "uorPerMeter": -5 } ] })",
       "Site.dgn: models[0].uorPerMeter: must be above 0"},
      {"unknown active model", R"({ "activeModel": "B", "models": [ { "name": "A" } ] })",
       "Site.dgn: activeModel: no model is named \"B\""},
      {"attachment without file", R"({ "models": [ { "name": "A", "attachments": [ {} ] } ] })",
       "Site.dgn: models[0].attachments[0]: missing member \"file\""},
      {"duplicate level", R"({ "levels": [ { "id": 3, "name": "a" }, { "id": 3, "name": "b" } ],
          "models": [ { "name": "A" } ] })",
       "Site.dgn: levels[1].id: a level with id 3 already exists"},
      {"level id negative", R"({ "levels": [ { "id": -3, "name": "a" } ], "models": [] })",
       "Site.dgn: levels[0].id: -3 is not an unsigned 32-bit integer"},
      {"colour part too big", R"({ "colorTable": [ [0, 0, 256] ], "models": [] })",
       "Site.dgn: colorTable[0][2]: 256 is outside 0 to 255"},
      {"true colour below 256", R"({ "trueColors": { "255": [1, 2, 3] }, "models": [] })",
       "Site.dgn: trueColors[\"255\"]: true colour id 255 is below 256"},
      {"true colour by-level id", R"({ "trueColors": { "4294967295": [1, 2, 3] } })",
       "Site.dgn: trueColors[\"4294967295\"]: a true colour id is a decimal number from 256 to "
       "4294967294"},
      {"duplicate class", R"({ "classes": [ { "name": "A" }, { "name": "A" } ] })",
       "Site.dgn: classes[1].name: a class named \"A\" already exists"},
      {"duplicate property",
       R"({ "classes": [ { "name": "A", "properties": [ { "name": "p" }, { "name": "p" } ] } ] })",
       "Site.dgn: classes[0].properties[1].name: class \"A\" already has a property \"p\""},
      {"element without type", withElement("{}"),
       "Site.dgn: models[0].elements[0]: missing member \"type\""},
      {"unknown type", withElement(R"({ "type": "cylinder" })"),
       "Site.dgn: models[0].elements[0].type: unknown element type \"cylinder\""},
      {"misspelt member", withElement("{ " + line + R"(, "colour": 3 })"),
       "Site.dgn: models[0].elements[0]: unknown member \"colour\" for a line"},
      {"member of another type", withElement("{ " + line + R"(, "radius": 3 })"),
       "Site.dgn: models[0].elements[0]: unknown member \"radius\" for a line"},
      {"member of another type on an extrusion",
       withElement(R"({ "type": "extrusion", "profile": [[0,0,0],[1,0,0],[1,1,0]],
                        "vector": [0,0,1], "points": [] })"),
       "Site.dgn: models[0].elements[0]: unknown member \"points\" for an extrusion"},
      {"id as text", withElement(R"({ "id": "7", )" + line + " }"),
       "Site.dgn: models[0].elements[0].id: expected an unsigned 64-bit integer, not a string"},
      {"negative id", withElement(R"({ "id": -7, )" + line + " }"),
       "Site.dgn: models[0].elements[0].id: -7 is not an unsigned 64-bit integer"},
      {"id zero", withElement(R"({ "id": 0, )" + line + " }"),
       "Site.dgn: models[0].elements[0].id: element ids start at 1"},
      {"duplicate id", withElements(R"({ "id": 4, )" + line + R"( }, { "id": 4, )" + line + " }"),
       "Site.dgn: models[0].elements[1].id: element id 4 is already used in model \"Default\""},
      {"default id taken later",
       withElements(R"({ "id": 3, )" + line + " }, { " + line + R"( }, { "id": 4, )" + line + " }"),
       "Site.dgn: models[0].elements[2].id: element id 4 is already used in model \"Default\""},
      {"points missing", withElement(R"({ "type": "line" })"),
       "Site.dgn: models[0].elements[0]: missing member \"points\""},
      {"point of two numbers", withElement(R"({ "type": "line", "points": [[0,0,0],[1,0]] })"),
       "Site.dgn: models[0].elements[0].points[1]: expected a point [x, y, z], not 2 numbers"},
      {"coordinate as text", withElement(R"({ "type": "line", "points": [[0,0,0],[1,"0",0]] })"),
       "Site.dgn: models[0].elements[0].points[1][1]: expected a number, not a string"},
      {"absurd coordinate", withElement(R"({ "type": "line", "points": [[0,0,0],[1e300,0,0]] })"),
       "Site.dgn: models[0].elements[0].points[1][0]: the number is too large (at most 1e15)"},
      {"line of three points",
       withElement(R"({ "type": "line", "points": [[0,0,0],[1,0,0],[2,0,0]] })"),
       "Site.dgn: models[0].elements[0].points: a line has 2 points, not 3"},
      {"shape closed on two points",
       withElement(R"({ "type": "shape", "points": [[0,0,0],[1,0,0],[0,0,0]] })"),
       "Site.dgn: models[0].elements[0].points: a shape needs at least 3 points, not 2"},
      {"face index names no point", withElement("{ " + mesh + R"(, "faces": [[1,2,3],[1,3,7]] })"),
       "Site.dgn: models[0].elements[0].faces[1][2]: index 7 names no point (the element has 4)"},
      {"negative face index names no point",
       withElement("{ " + mesh + R"(, "faces": [[1,-5,3]] })"),
       "Site.dgn: models[0].elements[0].faces[0][1]: index -5 names no point (the element has 4)"},
      {"lowest 64-bit face index",
       withElement("{ " + mesh + R"(, "faces": [[1,2,-9223372036854775808]] })"),
       "Site.dgn: models[0].elements[0].faces[0][2]: index -9223372036854775808 names no point "
       "(the element has 4)"},
      {"face index beyond 64 bits signed",
       withElement("{ " + mesh + R"(, "faces": [[1,2,18446744073709551615]] })"),
       "Site.dgn: models[0].elements[0].faces[0][2]: index 18446744073709551615 names no point "
       "(the element has 4)"},
      {"face index beyond 32 bits", withElement("{ " + mesh + R"(, "faces": [[1,2,4294967297]] })"),
       "Site.dgn: models[0].elements[0].faces[0][2]: index 4294967297 names no point (the "
       "element has 4)"},
      {"face index beyond 64 bits",
       withElement("{ " + mesh + R"(, "faces": [[1,2,-99999999999999999999]] })"),
       "Site.dgn: models[0].elements[0].faces[0][2]: expected a point index, not a number"},
      {"face index zero", withElement("{ " + mesh + R"(, "faces": [[0,1,2]] })"),
       "Site.dgn: models[0].elements[0].faces[0][0]: index 0 names no point (the element has 4)"},
      {"face of two indices", withElement("{ " + mesh + R"(, "faces": [[1,2]] })"),
       "Site.dgn: models[0].elements[0].faces[0]: a face needs at least 3 indices, not 2"},
      {"unknown level", withElement("{ " + line + R"(, "level": 12 })"),
       "Site.dgn: models[0].elements[0].level: no level has id 12"},
      {"colour name", withElement("{ " + line + R"(, "color": "red" })"),
       "Site.dgn: models[0].elements[0].color: expected a colour id or \"bylevel\", not \"red\""},
      {"transparency above 1", withElement("{ " + line + R"(, "transparency": 1.5 })"),
       "Site.dgn: models[0].elements[0].transparency: 1.5 is outside 0 to 1"},
      {"invisible as number", withElement("{ " + line + R"(, "invisible": 1 })"),
       "Site.dgn: models[0].elements[0].invisible: expected true or false, not an integer"},
      {"range of five numbers", withElement("{ " + line + R"(, "range": [0,0,0,1,1] })"),
       "Site.dgn: models[0].elements[0].range: expected six numbers, not an array"},
      {"unknown class", withElement("{ " + line + R"(, "instances": [ { "class": "Window" } ] })"),
       "Site.dgn: models[0].elements[0].instances[0].class: no class is named \"Window\""},
      {"unknown property",
       withElement("{ " + line +
                   R"(, "instances": [ { "class": "Door", "values": { "Fire rating": 30 } } ] })"),
       "Site.dgn: models[0].elements[0].instances[0].values[\"Fire rating\"]: class \"Door\" has "
       "no property \"Fire rating\""},
      {"property value object",
       withElement("{ " + line +
                   R"(, "instances": [ { "class": "Door", "values": { "Width": {} } } ] })"),
       "Site.dgn: models[0].elements[0].instances[0].values.Width: expected a string, number, "
       "boolean or point, not an object"},
      {"property integer too big",
       withElement("{ " + line +
                   R"(, "instances": [ { "class": "Door",
                         "values": { "Width": 18446744073709551615 } } ] })"),
       "Site.dgn: models[0].elements[0].instances[0].values.Width: 18446744073709551615 is too "
       "large for a 64-bit integer"},
      {"text not UTF-8",
       withElement(R"({ "type": "text", "origin": [0,0,0], "text": "T)"
                   "\xFF"
                   R"(r" })"),
       "Site.dgn: models[0].elements[0].text: the text is not valid UTF-8"},
      {"negative cone radius",
       withElement(R"({ "type": "cone", "base": [0,0,0], "top": [0,0,1], "baseRadius": -1,
                        "topRadius": 1 })"),
       "Site.dgn: models[0].elements[0].baseRadius: a radius can't be negative"},
      {"cone without radius",
       withElement(R"({ "type": "cone", "base": [0,0,0], "top": [0,0,1], "baseRadius": 0,
                        "topRadius": 0 })"),
       "Site.dgn: models[0].elements[0]: a cone needs a radius above 0 at one end at least"},
      {"flat sphere", withElement(R"({ "type": "sphere", "center": [0,0,0], "radius": 0 })"),
       "Site.dgn: models[0].elements[0].radius: a sphere's radius must be above 0"},
      {"profile of two points",
       withElement(R"({ "type": "extrusion", "profile": [[0,0,0],[1,0,0]], "vector": [0,0,1] })"),
       "Site.dgn: models[0].elements[0].profile: a profile needs at least 3 points, not 2"},
      {"transform of eleven numbers",
       withElement(R"({ "type": "cell", "name": "C", "transform": [1,0,0,0,0,1,0,0,0,0,1] })"),
       "Site.dgn: models[0].elements[0].transform: expected 12 numbers, not an array"},
      {"child with id",
       withElement(R"({ "type": "cell", "name": "C", "children": [ { "id": 9, )" + line + " } ] }"),
       "Site.dgn: models[0].elements[0].children[0].id: the children of a cell have no id"},
      {"fault deep in nested cells",
       withElement(R"({ "type": "cell", "name": "C", "children": [ { )" + line +
                   R"( }, { "type": "cell", "name": "D", "children": [
                      { "type": "sphere", "center": [0,0,0], "radius": -2 } ] } ] })"),
       "Site.dgn: models[0].elements[0].children[1].children[0].radius: a sphere's radius must be "
       "above 0"},
  };
}

TEST(DesignLoaderTest, EveryFaultGivesOneMessageWithFileAndPlace) {
  for (const BadDesign& bad : BadDesigns()) {
    std::string error;
    EXPECT_EQ(ParseDesign(bad.text, "Site.dgn", &error), nullptr) << bad.what;
    EXPECT_EQ(error, bad.message) << bad.what;
  }
}

TEST(DesignLoaderTest, ColourTableHoldsAtMost256Entries) {
  std::string table;
  for (int i = 0; i < 257; ++i) table += (i ? ", " : "") + std::string("[1, 2, 3]");
  std::string error;
  EXPECT_EQ(ParseDesign(R"({ "colorTable": [ )" + table + R"( ], "models": [ { "name": "A" } ] })",
                        "Site.dgn", &error),
            nullptr);
  EXPECT_EQ(error, "Site.dgn: colorTable: at most 256 colours, not 257");
}

TEST(DesignLoaderTest, AbsentMembersTakeTheirDefaults) {
  std::string error;
  auto design = ParseDesign(R"({
    // comments are allowed
    "levels": [ { "id": 5, "name": "Walls" } ],
    "colorTable": [ [10, 20, 30], [40, 50, 60] ],
    "classes": [ { "name": "Door", "properties": [ { "name": "Width" }, { "name": "Mark",
                                                                          "label": "" } ] } ],
    "models": [
      { "name": "First", "attachments": [ { "file": "Walls.dgn" } ],
        "elements": [ { "type": "line", "points": [[0,0,0],[1,0,0]] },
                      { "id": 10, "type": "line", "points": [[0,0,0],[1,0,0]] },
                      { "type": "line", "points": [[0,0,0],[1,0,0]],
                        "instances": [ { "class": "Door" } ] } ] },
      { "name": "Second", "uorPerMeter": 10000 } ] })",
                            "Site.dgn", &error);
  ASSERT_NE(design, nullptr) << error;
  EXPECT_EQ(design->activeModel, "First");
  ASSERT_EQ(design->levels.size(), 2u);
  EXPECT_EQ(design->levels[0], (Level{64, "Default", 0}));
  EXPECT_EQ(design->levels[1], (Level{5, "Walls", 0}));
  EXPECT_EQ(design->colorTable[1], (Rgb{40, 50, 60}));
  EXPECT_EQ(design->colorTable[2], DefaultColorTable()[2]);
  EXPECT_TRUE(design->colorTableGiven[1]);
  EXPECT_FALSE(design->colorTableGiven[2]);
  const ClassDef& door = design->classes.at(0);
  EXPECT_EQ(door.label, "Door");
  EXPECT_EQ(door.properties[0].label, "Width");
  EXPECT_EQ(door.properties[1].label, "");

  const Model& first = *design->models[0];
  EXPECT_EQ(first.file, design.get());
  EXPECT_EQ(first.uorPerMeter, 1000);
  EXPECT_EQ(design->models[1]->uorPerMeter, 10000);
  ASSERT_EQ(first.attachments.size(), 1u);
  EXPECT_FALSE(first.attachments[0].model.has_value());
  ASSERT_EQ(first.elements.size(), 3u);
  EXPECT_EQ(first.elements[0]->id, 1u);
  EXPECT_EQ(first.elements[1]->id, 10u);
  EXPECT_EQ(first.elements[2]->id, 11u);
  const Element& plain = *first.elements[0];
  EXPECT_EQ(plain.color, 0u);
  EXPECT_EQ(plain.level, kDefaultLevelId);
  EXPECT_EQ(plain.transparency, 0);
  EXPECT_FALSE(plain.invisible);
  EXPECT_FALSE(plain.storedRange.has_value());
  ASSERT_EQ(first.elements[2]->instances.size(), 1u);
  EXPECT_TRUE(first.elements[2]->instances[0].values.empty());
}

TEST(DesignLoaderTest, AFileMayRedefineLevel64) {
  std::string error;
  auto design = ParseDesign(R"({ "levels": [ { "id": 7, "name": "A" },
                                             { "id": 64, "name": "Base", "byLevelColor": 4 } ],
                                 "models": [ { "name": "M" } ] })",
                            "Site.dgn", &error);
  ASSERT_NE(design, nullptr) << error;
  EXPECT_THAT(design->levels, ElementsAre(Level{7, "A", 0}, Level{64, "Base", 4}));
}

TEST(DesignLoaderTest, EveryElementTypeLoads) {
  std::string error;
  auto design = ParseDesign(withElements(R"(
    { "type": "line", "points": [[0,0,0],[1,2,3]], "color": "bylevel", "level": 5 },
    { "type": "linestring", "points": [[0,0,0],[1,0,0],[1,1,0]], "invisible": true },
    { "type": "text", "origin": [1,2,3], "text": "Tür \"A\"" },
    { "type": "shape", "points": [[0,0,0],[4,0,0],[4,4,0],[0,0,0]], "transparency": 0.25 },
    { "type": "mesh", "points": [[0,0,0],[1,0,0],[1,1,0],[0,1,0]], "faces": [[1,2,-3,4]],
      "range": [0,0,0,2,2,2] },
    { "type": "extrusion", "profile": [[0,0,0],[1,0,0],[1,1,0]], "vector": [0,0,5] },
    { "type": "cone", "base": [0,0,0], "top": [0,0,10], "baseRadius": 2, "topRadius": 0 },
    { "type": "sphere", "center": [1,1,1], "radius": 0.5, "color": 300 },
    { "id": 18446744073709551615, "type": "cell", "name": "Door",
      "transform": [0,-1,0,10, 1,0,0,20, 0,0,1,30],
      "instances": [ { "class": "Door", "values": { "Width": 900.0, "Mark": null } },
                     { "class": "Door", "values": { "Width": 900, "Mark": "D1" } },
                     { "class": "Door", "values": { "Width": true, "Mark": [1, 2, 3] } } ],
      "children": [ { "type": "sphere", "center": [0,0,0], "radius": 1 },
                    { "type": "cell", "name": "Inner",
                      "children": [ { "type": "line", "points": [[0,0,0],[1,0,0]] } ] } ] }
  )"),
                            "Site.dgn", &error);
  ASSERT_NE(design, nullptr) << error;
  const auto& elements = design->models[0]->elements;
  ASSERT_EQ(elements.size(), 9u);
  EXPECT_EQ(elements[0]->type, ElementType::Line);
  EXPECT_EQ(elements[0]->color, kByLevelColor);
  EXPECT_EQ(elements[0]->level, 5u);
  EXPECT_EQ(elements[0]->points[1], (DPoint3d{1, 2, 3}));
  EXPECT_EQ(elements[1]->type, ElementType::LineString);
  EXPECT_TRUE(elements[1]->invisible);
  EXPECT_EQ(elements[2]->text, "Tür \"A\"");
  EXPECT_EQ(elements[2]->origin, (DPoint3d{1, 2, 3}));
  EXPECT_EQ(elements[3]->points.size(), 3u) << "the repeated first point is dropped";
  EXPECT_EQ(elements[3]->transparency, 0.25);
  EXPECT_THAT(elements[4]->faces, ElementsAre(ElementsAre(1, 2, -3, 4)));
  EXPECT_EQ(elements[4]->storedRange, (DRange3d{{0, 0, 0}, {2, 2, 2}}));
  EXPECT_EQ(elements[5]->profile.size(), 3u);
  EXPECT_EQ(elements[5]->vector, (DVec3d{0, 0, 5}));
  EXPECT_EQ(elements[6]->baseRadius, 2);
  EXPECT_EQ(elements[6]->top, (DPoint3d{0, 0, 10}));
  EXPECT_EQ(elements[7]->radius, 0.5);
  EXPECT_EQ(elements[7]->color, 300u);

  const Element& cell = *elements[8];
  EXPECT_EQ(cell.id, UINT64_MAX);
  EXPECT_EQ(cell.cellName, "Door");
  EXPECT_EQ(cell.transform.form3d[0][1], -1);
  EXPECT_EQ(cell.transform.form3d[2][3], 30);
  ASSERT_EQ(cell.children.size(), 2u);
  EXPECT_EQ(cell.children[0]->id, 0u);
  EXPECT_EQ(cell.children[1]->children[0]->id, 0u);
  EXPECT_TRUE(cell.children[1]->transform.IsIdentity());
  ASSERT_EQ(cell.instances.size(), 3u);
  EXPECT_EQ(cell.instances[0].values, (std::map<std::string, PropertyValue>{{"Width", 900.0}}))
      << "a null value holds no value";
  EXPECT_EQ(cell.instances[1].values.at("Width"), PropertyValue(int64_t{900}));
  EXPECT_EQ(cell.instances[1].values.at("Mark"), PropertyValue(std::string("D1")));
  EXPECT_EQ(cell.instances[2].values.at("Width"), PropertyValue(true));
  EXPECT_EQ(cell.instances[2].values.at("Mark"), PropertyValue(DPoint3d{1, 2, 3}));
}

TEST(DesignLoaderTest, NoIdIsLeftAfterTheHighest) {
  std::string error;
  EXPECT_EQ(ParseDesign(withElements(R"({ "id": 18446744073709551615, "type": "line",
      "points": [[0,0,0],[1,0,0]] }, { "type": "line", "points": [[0,0,0],[1,0,0]] })"),
                        "Site.dgn", &error),
            nullptr);
  EXPECT_EQ(error,
            "Site.dgn: models[0].elements[1]: no element id is left after "
            "18446744073709551615");
}

TEST(DesignLoaderTest, AFileThatCantBeReadIsNamed) {
  std::string error;
  EXPECT_EQ(LoadDesignFile("/nonexistent-folder/Site.dgn", &error), nullptr);
  EXPECT_EQ(error, "/nonexistent-folder/Site.dgn: can't read the file (No such file or directory)");

  testing::FaultInjectingFileSystem failing;
  failing.FailOp(testing::FileOp::ReadFile, "", -1, EACCES);
  ScopedFileSystem scoped(failing);
  EXPECT_EQ(LoadDesignFile("Site.dgn", &error), nullptr);
  EXPECT_EQ(error, "Site.dgn: can't read the file (Permission denied)");
}

TEST(DesignLoaderTest, ALoadedFileKnowsItsPaths) {
  test_support::TempFolder temp;
  const std::string folder = temp.Path();
  std::string path = folder + "/Site.dgn";
  std::ofstream(path) << R"({ "models": [ { "name": "A" } ] })";

  std::string error;
  auto design = LoadDesignFile(std::string(folder) + "/././/Site.dgn", &error);
  ASSERT_NE(design, nullptr) << error;
  EXPECT_EQ(design->localPath, path);
  // The local root is drive Z where local paths have no drives of their own.
  std::wstring expected = kLocalPathsHaveDrives ? L"" : L"Z:";
  for (char c : path) expected += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  EXPECT_EQ(design->windowsPath, expected);
  EXPECT_EQ(design->models[0]->file, design.get());
}

}  // namespace
}  // namespace host
