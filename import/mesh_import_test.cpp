#include "import/mesh_import.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "standin/design/design.h"
#include "standin/design/design_loader.h"
#include "standin/design/design_writer.h"
#include "standin/files/file_system.h"
#include "standin/shell/session.h"
#include "testing/fault_file_system.h"
#include "testing/record_text.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kTriangle[] =
    R"("positions" : [0, 0, 0, 10, 0, 0, 0, 10, 0], "indices" : [0, 1, 2])";

class MeshImportTest : public ::testing::Test {
 protected:
  void SetUp() override { OpenDesign(1000); }

  void OpenDesign(double uorPerMeter) {
    session_.reset();
    host::seed::DesignBuilder builder;
    builder.AddModel("Default", uorPerMeter);
    session_ = std::make_unique<host::seed::ScopedSession>(builder.Release());
  }

  fs::path ImportFolder() const { return fs::path(drive_.LocalFolder()) / "Import"; }

  void MakeSubFolder(const std::string& name) { fs::create_directories(ImportFolder() / name); }

  // Writes geo.json of the sub-folder byte for byte.
  void WriteRecord(const std::string& subFolder, const std::string& text) {
    MakeSubFolder(subFolder);
    std::ofstream(ImportFolder() / subFolder / "geo.json", std::ios::binary) << text;
  }

  static std::wstring RecordPath(const std::string& subFolder) {
    return L"C:\\Import\\" + fs::path(subFolder).wstring() + L"\\geo.json";
  }
  static std::string RecordPathText(const std::string& subFolder) {
    return "C:\\Import\\" + subFolder + "\\geo.json";
  }

  void Import() { importCommand(L"C:\\Import"); }

  std::vector<std::string> Messages() { return session_->TakeMessages(); }

  static host::DesignFile& Design() { return *host::Session::Current().ActiveDesign(); }

  static std::vector<const host::Element*> Elements() {
    std::vector<const host::Element*> elements;
    for (const auto& element : Design().ActiveModel()->elements) elements.push_back(element.get());
    return elements;
  }

  static host::Rgb ColourOf(const host::Element& element) {
    if (element.color < 256) return Design().colorTable[element.color];
    return Design().trueColors.at(element.color);
  }

  host::seed::ScopedDriveC drive_;
  std::unique_ptr<host::seed::ScopedSession> session_;
};

TEST_F(MeshImportTest, RecordBecomesAColouredMeshInMillimetres) {
  OpenDesign(10000);
  WriteRecord("e1", R"({"avoclass" : "componentGeoes", "colors" : [0.1, 0.3, 0.7, 1.0],
      "positions" : [1000, 0, -2.5, 0, 1000, 0, 0, 0, 1000], "indices" : [0, 1, 2]})");
  Import();
  EXPECT_THAT(Messages(), IsEmpty());
  auto elements = Elements();
  ASSERT_EQ(elements.size(), 1u);
  const host::Element& mesh = *elements[0];
  EXPECT_EQ(mesh.type, host::ElementType::Mesh);
  EXPECT_EQ(mesh.points, (std::vector<DPoint3d>{{10000, 0, -25}, {0, 10000, 0}, {0, 0, 10000}}));
  EXPECT_EQ(mesh.faces, (std::vector<std::vector<int>>{{1, 2, 3}}));
  EXPECT_EQ(ColourOf(mesh), (host::Rgb{26, 77, 179}));
  EXPECT_EQ(mesh.level, host::kDefaultLevelId);
  EXPECT_EQ(mesh.transparency, 0);
  EXPECT_TRUE(Design().ActiveModel()->changed);
}

TEST_F(MeshImportTest, EntriesAreReadAsTheRecordFormGivesThem) {
  struct Case {
    const char* name;
    const char* record;
    std::vector<DPoint3d> points;
    std::vector<int> face;
  };
  const Case cases[] = {
      {"indices become one-based",
       R"({"positions" : [1, 2, 3, 4, 5, 6, 7, 8, 9],
          "indices" : [0, 1, 2]})",
       {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}},
       {1, 2, 3}},
      {"seven positions give three points",
       R"({"positions" : [1, 2, 3, 4, 5, 6, 7],
          "indices" : [2, 1, 0]})",
       {{1, 2, 3}, {4, 5, 6}, {7, 0, 0}},
       {3, 2, 1}},
      {"real index is truncated",
       R"({"positions" : [0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0,
          4, 0, 0], "indices" : [4.9, 0, 1]})",
       {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}},
       {5, 1, 2}},
      {"null, true and false",
       R"({"positions" : [null, true, false, 5, 5, 5],
          "indices" : [null, true, false]})",
       {{0, 1, 0}, {5, 5, 5}},
       {1, 2, 1}},
  };
  int n = 0;
  for (const Case& c : cases) WriteRecord(std::string("r").append(std::to_string(n++)), c.record);
  Import();
  EXPECT_THAT(Messages(), IsEmpty());
  auto elements = Elements();
  ASSERT_EQ(elements.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(elements[i]->points, cases[i].points);
    EXPECT_EQ(elements[i]->faces, (std::vector<std::vector<int>>{cases[i].face}));
  }
}

TEST_F(MeshImportTest, ColourEntriesAreClampedAndRounded) {
  struct Case {
    const char* colors;
    host::Rgb expected;
  };
  const Case cases[] = {
      {"[1.0, 0.0, 0.0]", {255, 0, 0}},
      {"[0.5, 0.99999, 0.0019]", {128, 255, 0}},
      {"[1.01, -0.5, 0.002]", {255, 0, 1}},
      {"[1e300, -1e300, 0.12941176470588234]", {255, 0, 33}},
      {"[true, null, false]", {255, 0, 0}},
      {"[0.2]", {51, 0, 0}},
      {"null", {0, 0, 0}},
  };
  int n = 0;
  for (const Case& c : cases)
    WriteRecord(std::string("c").append(std::to_string(n++)),
                std::string(R"({"colors" : )") + c.colors + ", " + kTriangle + "}");
  WriteRecord("c" + std::to_string(n), std::string("{") + kTriangle + "}");
  Import();
  EXPECT_THAT(Messages(), IsEmpty());
  auto elements = Elements();
  ASSERT_EQ(elements.size(), std::size(cases) + 1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].colors);
    EXPECT_EQ(ColourOf(*elements[i]), cases[i].expected);
  }
  EXPECT_EQ(ColourOf(*elements.back()), (host::Rgb{0, 0, 0})) << "no colors member";
}

TEST_F(MeshImportTest, EveryColourByteThatTheExportWritesComesBack) {
  const double kColourScale = 0.00392156862745098;
  char name[16];
  for (int b = 0; b < 256; ++b) {
    std::snprintf(name, sizeof name, "b%03d", b);
    Json::Value record;
    record["colors"].append(b * kColourScale);
    record["colors"].append((255 - b) * kColourScale);
    record["colors"].append(b * kColourScale);
    record["colors"].append(1.0);
    for (double value : {0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0})
      record["positions"].append(value);
    for (unsigned index : {0u, 1u, 2u}) record["indices"].append(index);
    WriteRecord(name, toRecordText(record));
  }
  Import();
  EXPECT_THAT(Messages(), IsEmpty());
  auto elements = Elements();
  ASSERT_EQ(elements.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    auto byte = static_cast<uint8_t>(b);
    EXPECT_EQ(ColourOf(*elements[b]), (host::Rgb{byte, static_cast<uint8_t>(255 - b), byte}))
        << "byte " << b;
  }
}

// Sub-folders whose names aren't UTF-8 (written in another encoding, or stray bytes) are
// imported as any other: their names keep their bytes on the way to the file.
TEST_F(MeshImportTest, SubFoldersWhoseNamesArentUtf8AreImported) {
  const std::string names[] = {
      "caf\xe9",           "\xff\xfe",         "a\xc3", "\xed\xa0\x80 surrogate",
      "\xc0\xaf overlong", "\xe2\x82\xac euro"};
  for (const std::string& name : names) WriteRecord(name, std::string("{") + kTriangle + "}");
  Import();
  EXPECT_THAT(Messages(), IsEmpty());
  EXPECT_EQ(Elements().size(), std::size(names));
}

TEST_F(MeshImportTest, IncompleteRecordsAreReportedAndTheNextIsImported) {
  MakeSubFolder("a_missing");
  WriteRecord("b_empty_object", "{}");
  WriteRecord("e_scalar", "42");
  WriteRecord("f_empty_array", "[]");
  WriteRecord("g_colours_only", R"({"colors" : [0.1, 0.3, 0.7]})");
  WriteRecord("h_empty_positions", R"({"positions" : [], "indices" : [0, 1, 2]})");
  WriteRecord("i_no_indices", R"({"positions" : [0, 0, 0]})");
  WriteRecord("j_empty_indices", R"({"positions" : [0, 0, 0], "indices" : []})");
  WriteRecord("k_good", std::string("{") + kTriangle + "}");
  Import();
  EXPECT_THAT(Messages(),
              ElementsAre("File " + RecordPathText("a_missing") + " doesn't exist",
                          "Json root node is empty", "Json root node is empty",
                          "Json root node is empty", "There is no 'positions' node in Json file",
                          "There is no 'positions' node in Json file",
                          "There is no 'indices' node in Json file",
                          "There is no 'indices' node in Json file"));
  EXPECT_EQ(Elements().size(), 1u);
  // The colours-only record asked for its colour, which the table doesn't hold.
  ASSERT_EQ(Design().trueColors.size(), 1u);
  EXPECT_EQ(Design().trueColors.begin()->second, (host::Rgb{26, 77, 179}));
}

// A text that fails at its first value holds no members, as an empty root does; only a text
// that began as an object or an array is invalid geometry.
TEST_F(MeshImportTest, TextThatFailsAtItsFirstValueIsAnEmptyRoot) {
  const std::vector<std::string> records = {"",
                                            " \t\r\n",
                                            "not json",
                                            "\"cut short",
                                            "tru",
                                            "-",
                                            "// a comment only",
                                            "/* open",
                                            "}",
                                            "]",
                                            "\xef\xbb\xbf{\"positions\" : [0, 0, 0]}"};
  for (size_t i = 0; i < records.size(); ++i)
    WriteRecord("r" + std::string(i < 10 ? "0" : "") + std::to_string(i), records[i]);
  Import();
  EXPECT_EQ(Messages(), std::vector<std::string>(records.size(), "Json root node is empty"));
  EXPECT_THAT(Elements(), IsEmpty());
  EXPECT_THAT(Design().trueColors, IsEmpty());
}

TEST_F(MeshImportTest, MalformedRecordIsSkippedWithoutColourOrElement) {
  // Every record carries a colour that the table doesn't hold, so that asking for it would
  // add a true colour to the file.
  const std::string colour = R"("colors" : [0.1, 0.3, 0.7], )";
  const std::string points = R"("positions" : [0, 0, 0, 1, 0, 0, 0, 1, 0], )";
  const std::vector<std::string> records = {
      R"([1, 2, 3])",
      R"({"colors" : "red", )" + std::string(kTriangle) + "}",
      R"({"colors" : {"r" : 1}, )" + std::string(kTriangle) + "}",
      R"({"colors" : [0.1, "0", 0], )" + std::string(kTriangle) + "}",
      "{" + colour + R"("positions" : 5, "indices" : [0, 1, 2]})",
      "{" + colour + R"("positions" : {}, "indices" : [0, 1, 2]})",
      "{" + colour + R"("positions" : [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "indices" : [0, 1, 2]})",
      "{" + colour + R"("positions" : ["0", 0, 0, 1, 0, 0, 0, 1, 0], "indices" : [0, 1, 2]})",
      "{" + colour + points + R"("indices" : "0 1 2"})",
      "{" + colour + points + R"("indices" : [0, 1, {}]})",
      "{" + colour + points + R"("indices" : [0, 1, 3]})",
      "{" + colour + points + R"("indices" : [0, 1, -1]})",
      "{" + colour + points + R"("indices" : [0, 1, 2147483648]})",
      "{" + colour + points + R"("indices" : [0, 1, 4294967297]})",
      "{" + colour + points + R"("indices" : [0, 1, 1e10]})",
      "{" + colour + points + R"("indices" : [0, 1, 2, 0]})",
      "{" + colour + R"("indices" : "none"})",
  };
  std::vector<std::string> expected;
  for (size_t i = 0; i < records.size(); ++i) {
    std::string name = (i < 10 ? "m0" : "m") + std::to_string(i);
    WriteRecord(name, records[i]);
    expected.push_back("Invalid geometry in Json file " + RecordPathText(name));
  }
  WriteRecord("z_good", std::string("{") + kTriangle + "}");
  Import();
  EXPECT_EQ(Messages(), expected);
  EXPECT_EQ(Elements().size(), 1u);
  EXPECT_THAT(Design().trueColors, IsEmpty());
}

// A record that the reader refuses is reported whole, and the import goes on with the next
// sub-folder: nothing of it is imported, not even its colour.
TEST_F(MeshImportTest, RecordCutShortIsReportedAndNothingOfItIsAdded) {
  const std::string whole =
      std::string(R"({"colors" : [0.1, 0.3, 0.7], )") + kTriangle + R"(, "name" : "x"})";
  std::vector<std::string> records = {" /* a comment */ [1, 2", "// a line\n{"};
  // Cuts of a whole record down to its first byte; none is whole JSON.
  for (int length = static_cast<int>(whole.size()) - 1; length > 0; length -= 7)
    records.push_back(whole.substr(0, static_cast<size_t>(length)));
  std::vector<std::string> expected;
  for (size_t i = 0; i < records.size(); ++i) {
    std::string name = "r" + std::string(i < 10 ? "0" : "") + std::to_string(i);
    WriteRecord(name, records[i]);
    expected.push_back("Invalid geometry in Json file " + RecordPathText(name));
  }
  // What follows a whole root is never read.
  WriteRecord("z_good", whole + " garbage");
  Import();
  EXPECT_EQ(Messages(), expected);
  ASSERT_EQ(Elements().size(), 1u) << "only the good record";
  EXPECT_EQ(Elements()[0]->points.size(), 3u);
  EXPECT_EQ(Design().trueColors.size(), 1u) << "only the good record asked for its colour";
}

TEST_F(MeshImportTest, RecordNestedDeeperThanTheReaderAllowsIsReportedAndTheNextIsImported) {
  const std::string members = std::string(R"({"colors" : [0.1, 0.3, 0.7], )") + kTriangle;
  WriteRecord("a_deep",
              members + R"(, "deep" : )" + std::string(1001, '[') + std::string(1001, ']') + "}");
  WriteRecord("b_deepest_allowed",
              members + R"(, "deep" : )" + std::string(999, '[') + std::string(999, ']') + "}");
  Import();
  EXPECT_THAT(Messages(), ElementsAre("Invalid geometry in Json file " + RecordPathText("a_deep")));
  EXPECT_EQ(Elements().size(), 1u);
}

TEST_F(MeshImportTest, CoordinateThatOverflowsTheModelUnitsIsMalformed) {
  OpenDesign(10000);
  WriteRecord("a", R"({"positions" : [1e308, 0, 0, 1, 0, 0, 0, 1, 0], "indices" : [0, 1, 2]})");
  WriteRecord("b", std::string("{") + kTriangle + "}");
  Import();
  EXPECT_THAT(Messages(), ElementsAre("Invalid geometry in Json file " + RecordPathText("a")));
  EXPECT_EQ(Elements().size(), 1u);
}

// Saves the active design and loads the saved file again: the error of either, or "".
std::string SaveAndLoadError(const std::string& folder) {
  std::string path = folder + "/Saved.dgn", error;
  if (!host::SaveDesignFile(*host::Session::Current().ActiveDesign(), path, &error)) return error;
  if (!host::LoadDesignFile(path, &error)) return error;
  return "";
}

// A design holds coordinates up to 1e15 in size after the scaling to model units: a record
// beyond is refused whole, so that a saved design always loads again.
TEST_F(MeshImportTest, CoordinateThatADesignCannotHoldIsMalformed) {
  OpenDesign(10000);  // one millimetre is 10 units
  const std::string rest = R"(, 0, 0, 1, 0, 0, 0, 1, 0], "indices" : [0, 1, 2]})";
  struct Case {
    const char* folder;
    const char* first;
    bool added;
  };
  const Case cases[] = {{"a_huge", "1e18", false},
                        {"b_scaled_beyond", "-1.0001e14", false},
                        {"c_scaled_limit", "-1e14", true},
                        {"d_in_z", "0, 0, 2e14", false},
                        {"e_small", "5", true}};
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    WriteRecord(c.folder, std::string(R"({"positions" : [)") + c.first + rest);
    if (!c.added) expected.push_back("Invalid geometry in Json file " + RecordPathText(c.folder));
  }
  Import();
  EXPECT_EQ(Messages(), expected);
  EXPECT_EQ(Elements().size(), 2u);
  EXPECT_EQ(SaveAndLoadError(drive_.LocalFolder()), "");
}

// With an element holding the highest id, imported elements take the lowest free ids.
TEST_F(MeshImportTest, ImportAfterTheHighestIdGivesFreeIdsAndTheSaveLoadsAgain) {
  session_.reset();
  host::seed::DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  builder.AddMesh(model, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}}).id =
      std::numeric_limits<uint64_t>::max();
  builder.AddMesh(model, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}}).id = 2;
  session_ = std::make_unique<host::seed::ScopedSession>(builder.Release());
  for (const char* name : {"a", "b", "c"}) WriteRecord(name, std::string("{") + kTriangle + "}");
  Import();
  EXPECT_THAT(Messages(), IsEmpty());
  std::vector<uint64_t> ids;
  for (const host::Element* element : Elements()) ids.push_back(element->id);
  EXPECT_THAT(ids, ElementsAre(std::numeric_limits<uint64_t>::max(), 2, 1, 3, 4));
  EXPECT_EQ(SaveAndLoadError(drive_.LocalFolder()), "");
}

TEST_F(MeshImportTest, OnlySubFoldersAreSearched) {
  fs::create_directories(ImportFolder());
  std::ofstream(ImportFolder() / "geo.json") << "{" << kTriangle << "}";
  Import();
  EXPECT_THAT(Messages(), IsEmpty());
  EXPECT_THAT(Elements(), IsEmpty());
}

TEST_F(MeshImportTest, FolderThatCannotBeHadEndsTheCommand) {
  fs::create_directories(ImportFolder());
  std::ofstream(ImportFolder() / "plain.txt") << "x";
  for (const wchar_t* name : {L"C:\\Nowhere", L"", L"C:\\Import\\plain.txt", L"Q:\\Import"}) {
    importCommand(name);
    EXPECT_THAT(Messages(), ElementsAre("Can't find provided folder"));
  }
  EXPECT_THAT(Elements(), IsEmpty());
}

TEST_F(MeshImportTest, SubFoldersThatCannotBeListedEndTheCommand) {
  WriteRecord("e1", std::string("{") + kTriangle + "}");
  host::testing::FaultInjectingFileSystem failing;
  failing.FailOp(host::testing::FileOp::ListSubdirectories);
  host::ScopedFileSystem installed(failing);
  Import();
  EXPECT_THAT(Messages(), ElementsAre("GetSubFolders ERROR!"));
  EXPECT_THAT(Elements(), IsEmpty());
}

}  // namespace
