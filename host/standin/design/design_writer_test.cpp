#include "standin/design/design_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "standin/design/design_loader.h"
#include "standin/files/file_system.h"
#include "standin/files/paths.h"
#include "testing/seed.h"

#include "testing/fault_file_system.h"
#include "testing/memory_file_system.h"
#include "testing/test_support.h"
namespace host {
namespace {

std::unique_ptr<DesignFile> parseOrFail(const std::string& text) {
  std::string error;
  auto design = ParseDesign(text, "written.dgn", &error);
  EXPECT_NE(design, nullptr) << error << "\n" << text;
  return design;
}

// write(read(write(x))) must be write(x): nothing is lost or changed on the way.
void expectStableRoundTrip(const DesignFile& design) {
  std::string written = DesignToText(design);
  auto reread = parseOrFail(written);
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(DesignToText(*reread), written);
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class TempFolder {
 public:
  const std::string& path() const { return m_folder.Path(); }

 private:
  test_support::TempFolder m_folder;
};

TEST(DesignWriterTest, SamplesSurviveARoundTrip) {
  for (const char* name : {"Site.dgn", "Walls.dgn"}) {
    std::string error;
    auto design = LoadDesignFile(std::string(TOLVANE_SOURCE_DIR) + "/samples/" + name, &error);
    ASSERT_NE(design, nullptr) << error;
    expectStableRoundTrip(*design);
  }
}

TEST(DesignWriterTest, SiteSampleHoldsWhatTheCommandsNeed) {
  std::string error;
  auto site = LoadDesignFile(std::string(TOLVANE_SOURCE_DIR) + "/samples/Site.dgn", &error);
  ASSERT_NE(site, nullptr) << error;
  const Model& model = *site->ActiveModel();
  EXPECT_EQ(model.name, "Default");
  EXPECT_EQ(model.uorPerMeter, 10000);
  EXPECT_GE(model.elements.size(), 100u);
  ASSERT_NE(model.FindElement(10768), nullptr);
  EXPECT_EQ(model.FindElement(10768)->type, ElementType::Mesh);
  ASSERT_EQ(model.attachments.size(), 2u);
  EXPECT_EQ(model.attachments[0].file, "Walls.dgn");
  EXPECT_EQ(model.attachments[1].file, "Furniture.dgn");

  std::set<ElementType> types;
  bool byLevel = false, trueColor = false, invisible = false, transparent = false, nonAscii = false;
  for (const auto& element : model.elements) {
    types.insert(element->type);
    byLevel = byLevel || element->color == kByLevelColor;
    trueColor = trueColor || site->trueColors.count(element->color) > 0;
    invisible = invisible || element->invisible;
    transparent = transparent || element->transparency > 0;
    for (const Instance& instance : element->instances)
      for (const auto& [name, value] : instance.values)
        if (auto* text = std::get_if<std::string>(&value))
          nonAscii = nonAscii || text->find("\xC3\xBC") != std::string::npos;
  }
  EXPECT_EQ(types.size(), 9u) << "every element type";
  EXPECT_TRUE(byLevel && trueColor && invisible && transparent && nonAscii);
  EXPECT_NE(site->FindClass("Door"), nullptr);

  auto walls = LoadDesignFile(std::string(TOLVANE_SOURCE_DIR) + "/samples/Walls.dgn", &error);
  ASSERT_NE(walls, nullptr) << error;
  EXPECT_NE(walls->FindModel("Walls"), nullptr);
}

// A design with every element type and every member away from its default.
std::unique_ptr<DesignFile> everythingDesign() {
  seed::DesignBuilder builder(L"Z:\\tmp\\Everything.dgn");
  builder.AddLevel(5, "Wände", 3);
  builder.AddClass("Door", "", {{"Width", "Width"}, {"Mark", ""}, {"Hinge", "Hinge point"}});
  DesignFile& file = builder.File();
  file.colorTableGiven[0] = file.colorTableGiven[5] = true;
  file.colorTable[5] = {1, 2, 3};
  file.trueColors[300] = {18, 52, 86};
  file.trueColors[4294967294u] = {0, 0, 0};

  Model& model = builder.AddModel("Ground floor", 10000);
  builder.AddModel("Second", 304.8);
  file.activeModel = "Second";
  builder.AddAttachment(model, "Walls.dgn", "Walls");
  builder.AddAttachment(model, "/abs/Furniture.dgn");

  Element& line = builder.AddElement(model, ElementType::Line);
  line.points = {{-0.0, 1e-9, 123456789.125}, {0.1, 0.2, 0.3}};
  line.color = kByLevelColor;
  line.level = 5;
  line.storedRange = DRange3d{{-1, -2, -3}, {4, 5, 6}};
  Element& text = builder.AddElement(model, ElementType::Text);
  text.text = "Tür \"3\"\\\n\ttab \x01";
  text.invisible = true;
  Element& shape = builder.AddElement(model, ElementType::Shape);
  shape.points = {{0, 0, 0}, {5, 0, 0}, {5, 5, 0}, {2, 2, 0}};
  shape.transparency = 0.25;
  Element& linestring = builder.AddElement(model, ElementType::LineString);
  linestring.points = {{0, 0, 0}, {1, 0, 0}};
  linestring.id = 9223372036854775813u;
  builder.AddMesh(model, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{1, 2, -3}, {-3, 4, 1}});
  Element& extrusion = builder.AddElement(model, ElementType::Extrusion);
  extrusion.profile = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
  extrusion.vector = {0, 0, 2.5};
  extrusion.color = 300;
  Element& cone = builder.AddElement(model, ElementType::Cone);
  cone.base = {0, 0, 0};
  cone.top = {0, 0, 1};
  cone.baseRadius = 1;
  Element& sphere = builder.AddElement(model, ElementType::Sphere);
  sphere.radius = 7;
  Element& cell = builder.AddElement(model, ElementType::Cell);
  cell.cellName = "Door";
  const double rows[12] = {0, -1, 0, 10, 1, 0, 0, 20, 0, 0, 1, 30};
  cell.transform = Transform::FromRowValues(rows);
  cell.instances.push_back(
      {"Door", {{"Width", 900.0}, {"Mark", std::string("Tür")}, {"Hinge", DPoint3d{1, 2, 3}}}});
  cell.instances.push_back({"Door", {{"Width", int64_t{-900}}, {"Mark", true}}});
  cell.instances.push_back({"Door", {}});
  Element& child = builder.AddChild(cell, ElementType::Sphere);
  child.radius = 1;
  child.color = 4;
  Element& inner = builder.AddChild(cell, ElementType::Cell);
  inner.cellName = "";
  builder.AddChild(inner, ElementType::Line).points = {{0, 0, 0}, {1, 1, 1}};
  builder.AddElement(model, ElementType::Cell).cellName = "Empty";
  return builder.Release();
}

TEST(DesignWriterTest, EveryElementTypeSurvivesARoundTrip) {
  auto design = everythingDesign();
  expectStableRoundTrip(*design);

  auto reread = parseOrFail(DesignToText(*design));
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(reread->activeModel, "Second");
  EXPECT_EQ(reread->levels, design->levels);
  EXPECT_EQ(reread->classes, design->classes);
  EXPECT_EQ(reread->trueColors, design->trueColors);
  EXPECT_EQ(reread->models[1]->uorPerMeter, 304.8);
  const Model& model = *reread->models[0];
  ASSERT_EQ(model.elements.size(), 10u);
  for (size_t i = 0; i < model.elements.size(); ++i)
    EXPECT_EQ(model.elements[i]->id, design->models[0]->elements[i]->id);
  EXPECT_EQ(model.attachments[0].model, std::optional<std::string>("Walls"));
  EXPECT_FALSE(model.attachments[1].model.has_value());

  const Element& line = *model.elements[0];
  EXPECT_EQ(line.points, design->models[0]->elements[0]->points) << "doubles are exact";
  EXPECT_FALSE(std::signbit(line.points[0].x)) << "negative zero is written as 0";
  EXPECT_EQ(line.color, kByLevelColor);
  EXPECT_EQ(line.storedRange, (DRange3d{{-1, -2, -3}, {4, 5, 6}}));
  EXPECT_EQ(model.elements[1]->text, "Tür \"3\"\\\n\ttab \x01");
  EXPECT_TRUE(model.elements[1]->invisible);
  EXPECT_EQ(model.elements[2]->transparency, 0.25);
  EXPECT_EQ(model.elements[4]->faces, (std::vector<std::vector<int>>{{1, 2, -3}, {-3, 4, 1}}));

  const Element& cell = *model.elements[8];
  EXPECT_EQ(cell.transform, design->models[0]->elements[8]->transform);
  ASSERT_EQ(cell.instances.size(), 3u);
  EXPECT_EQ(cell.instances[0].values.at("Width"), PropertyValue(900.0)) << "a real stays real";
  EXPECT_EQ(cell.instances[1].values.at("Width"), PropertyValue(int64_t{-900}));
  EXPECT_EQ(cell.instances[0].values.at("Hinge"), PropertyValue(DPoint3d{1, 2, 3}));
  EXPECT_EQ(cell.instances[1].values.at("Mark"), PropertyValue(true));
  ASSERT_EQ(cell.children.size(), 2u);
  EXPECT_EQ(cell.children[0]->color, 4u);
  EXPECT_EQ(cell.children[1]->children[0]->points[1], (DPoint3d{1, 1, 1}));
}

TEST(DesignWriterTest, ColourTableRunsToTheLastGivenEntry) {
  auto design = everythingDesign();
  auto reread = parseOrFail(DesignToText(*design));
  ASSERT_NE(reread, nullptr);
  EXPECT_EQ(reread->colorTable, design->colorTable);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(reread->colorTableGiven[i], i <= 5) << i;

  design->colorTableGiven = {};
  EXPECT_EQ(DesignToText(*design).find("colorTable"), std::string::npos);
}

TEST(DesignWriterTest, SavingWritesAFileThatLoads) {
  TempFolder folder;
  std::string path = folder.path() + "/Saved.dgn";
  auto design = everythingDesign();
  std::string error;
  ASSERT_TRUE(SaveDesignFile(*design, path, &error)) << error;
  EXPECT_EQ(readText(path), DesignToText(*design));
  EXPECT_NE(LoadDesignFile(path, &error), nullptr) << error;
}

// A save fails at each of its file operations in turn: every failure is reported, the old
// design stays byte for byte, and no temporary file is left beside it. Only a failure of the
// last step, the sync of the folder after the rename, leaves the new design in place.
TEST(DesignWriterTest, ASaveThatFailsAnywhereKeepsTheOldDesign) {
  const std::string path = "/projects/Site.dgn";
  const std::string old = "{ \"models\": [ { \"name\": \"Old\" } ] }";
  auto design = everythingDesign();
  int failures = 0;
  for (uint64_t n = 1;; ++n) {
    testing::MemoryFileSystem memory;
    memory.AddFile(path, old);
    testing::FaultInjectingFileSystem faulty(memory);
    faulty.FailNth(n, ENOSPC);
    ScopedFileSystem scoped(faulty);
    std::string error;
    const bool saved = SaveDesignFile(*design, path, &error);
    if (faulty.FaultsInjected() == 0) {  // the save made fewer than n operations
      EXPECT_TRUE(saved) << error;
      EXPECT_EQ(memory.FileContents(path), DesignToText(*design));
      break;
    }
    ++failures;
    SCOPED_TRACE(faulty.FailedOperations().front());
    EXPECT_FALSE(saved);
    EXPECT_THAT(error, ::testing::HasSubstr("No space left on device"));
    EXPECT_EQ(memory.Paths(), (std::vector<std::string>{"/projects", path}));
    const bool afterRename = faulty.FailedOperations().front().starts_with("SyncDirectory");
    EXPECT_EQ(memory.FileContents(path), afterRename ? DesignToText(*design) : old);
  }
  EXPECT_GE(failures, 5) << "create, append, sync, close, rename, sync folder";
}

TEST(DesignWriterTest, AFullDiskOrAShortWriteKeepsTheOldDesignOnTheDisk) {
  TempFolder folder;
  const std::string path = folder.path() + "/Site.dgn";
  const std::string old = "{ \"models\": [ { \"name\": \"Old\" } ] }";
  auto design = everythingDesign();
  for (int fault = 0; fault < 2; ++fault) {
    std::ofstream(path, std::ios::binary) << old;
    testing::FaultInjectingFileSystem faulty;
    if (fault == 0) faulty.DiskFullAfter(100);
    if (fault == 1) faulty.ShortWrites();
    ScopedFileSystem scoped(faulty);
    std::string error;
    EXPECT_FALSE(SaveDesignFile(*design, path, &error));
    EXPECT_EQ(readText(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left";
  }
}

// What is below root, each entry by its path under root: "folder", "link to TARGET" or the
// contents of a file. Links are listed, never followed.
std::map<std::string, std::string> entriesUnder(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string name = entry.path().string().substr(root.size() + 1);
    if (entry.is_symlink())
      entries[name] = "link to " + std::filesystem::read_symlink(entry.path()).string();
    else
      entries[name] = entry.is_directory() ? "folder" : readText(entry.path().string());
  }
  return entries;
}

// A design opened through a symbolic link is saved into the file the link leads to, and the
// links stay as they were. In every case the folder holds real/Target.dgn and an empty links/;
// the links are made in order, "@" at the start of a target standing for the folder.
TEST(DesignWriterTest, SavingThroughSymbolicLinksReplacesTheFileTheyLeadTo) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // where, and the target it holds
    const char* saved;  // the file the save replaces; null when the save is refused
    const char* why;    // for a refused save, what its error says after the design's path
  };
  const Case cases[] = {
      {"a link holding a full path", {{"Site.dgn", "@/real/Target.dgn"}}, "real/Target.dgn", ""},
      {"a relative link", {{"Site.dgn", "real/Target.dgn"}}, "real/Target.dgn", ""},
      {"a chain whose relative links start from their own folders",
       {{"Site.dgn", "links/Hop.dgn"}, {"links/Hop.dgn", "../real/Target.dgn"}},
       "real/Target.dgn",
       ""},
      {"a chain through a full path",
       {{"Site.dgn", "@/links/Hop.dgn"},
        {"links/Hop.dgn", "Hop2.dgn"},
        {"links/Hop2.dgn", "../real/Target.dgn"}},
       "real/Target.dgn",
       ""},
      {"a link through a linked folder",
       {{"linked", "real"}, {"Site.dgn", "linked/Target.dgn"}},
       "real/Target.dgn",
       ""},
      {"a dangling link",
       {{"Site.dgn", "real/Missing.dgn"}},
       nullptr,
       "real/Missing.dgn, where nothing is"},
      {"a chain that ends nowhere",
       {{"Site.dgn", "links/Hop.dgn"}, {"links/Hop.dgn", "Missing.dgn"}},
       nullptr,
       "links/Missing.dgn, where nothing is"},
      {"a loop",
       {{"Site.dgn", "links/Hop.dgn"}, {"links/Hop.dgn", "../Site.dgn"}},
       nullptr,
       "make a loop"},
      {"a link to itself", {{"Site.dgn", "Site.dgn"}}, nullptr, "make a loop"},
  };
  const std::string old = "{ \"models\": [ { \"name\": \"Old\" } ] }";
  auto design = parseOrFail("{ \"models\": [ { \"name\": \"New\" } ] }");
  ASSERT_NE(design, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string root = folder.path();
    std::filesystem::create_directories(root + "/real");
    std::filesystem::create_directories(root + "/links");
    std::ofstream(root + "/real/Target.dgn", std::ios::binary) << old;
    for (const auto& [where, target] : c.links) {
      const std::string text = target[0] == '@' ? root + target.substr(1) : target;
      std::error_code made;
      std::filesystem::create_symlink(text, root + "/" + where, made);
      if (made) GTEST_SKIP() << "no symbolic links can be made in " << root;
    }
    std::map<std::string, std::string> expected = entriesUnder(root);
    std::string error;
    const bool saved = SaveDesignFile(*design, root + "/Site.dgn", &error);
    EXPECT_EQ(saved, c.saved != nullptr) << error;
    if (c.saved) {
      expected[c.saved] = DesignToText(*design);
    } else {
      EXPECT_THAT(error, ::testing::StartsWith(root + "/Site.dgn: "));
      EXPECT_THAT(error, ::testing::HasSubstr(c.why));
    }
    EXPECT_EQ(entriesUnder(root), expected) << "only the file the links lead to changes";
    if (!c.saved) continue;

    // A save whose rename fails leaves that file as it was; its temporary file was beside it.
    std::ofstream(root + "/real/Target.dgn", std::ios::binary) << old;
    expected[c.saved] = old;
    testing::FaultInjectingFileSystem faulty;
    faulty.FailOp(testing::FileOp::RenameFile);
    ScopedFileSystem scoped(faulty);
    EXPECT_FALSE(SaveDesignFile(*design, root + "/Site.dgn", &error));
    EXPECT_EQ(entriesUnder(root), expected);
    ASSERT_EQ(faulty.FailedOperations().size(), 1u);
    const std::string temporary = faulty.FailedOperations()[0].substr(sizeof "RenameFile");
    EXPECT_TRUE(std::filesystem::equivalent(LocalFolderOf(temporary), root + "/real")) << temporary;
  }
}

// The generator's exit status for the arguments, given as one text split at its blanks.
int runGenerator(const std::string& arguments) {
  std::vector<std::string> args;
  std::istringstream words(arguments);
  for (std::string word; words >> word;) args.push_back(word);
  return test_support::RunProcess(TOLVANE_GENDESIGN, args).exitCode;
}

TEST(GenDesignTest, WritesTheCountOfElementsInTheDesignFormat) {
  TempFolder folder;
  std::string path = folder.path() + "/Big.dgn";
  ASSERT_EQ(runGenerator(path + " 400 --seed 7"), 0);
  std::string error;
  auto design = LoadDesignFile(path, &error);
  ASSERT_NE(design, nullptr) << error;
  const auto& elements = design->ActiveModel()->elements;
  ASSERT_EQ(elements.size(), 400u);
  std::set<ElementType> types;
  for (size_t i = 0; i < elements.size(); ++i) {
    EXPECT_EQ(elements[i]->id, i + 1);
    EXPECT_FALSE(elements[i]->invisible) << "every element is drawn";
    types.insert(elements[i]->type);
  }
  EXPECT_EQ(types.size(), 9u);
  EXPECT_EQ(DesignToText(*design), readText(path)) << "written in the writer's own form";

  std::string again = folder.path() + "/Again.dgn";
  ASSERT_EQ(runGenerator(again + " 400 --seed 7"), 0);
  EXPECT_EQ(readText(again), readText(path)) << "the same seed gives the same design";
}

TEST(GenDesignTest, RefusesBadArguments) {
  TempFolder folder;
  std::string path = folder.path() + "/Big.dgn";
  for (const std::string& arguments :
       {path, path + " 0", path + " ten", path + " 10 --sed 1", path + " 10 --seed x",
        folder.path() + "/missing/Big.dgn 10"})
    EXPECT_EQ(runGenerator(arguments), 1) << arguments;
  EXPECT_FALSE(LocalFileSystem().Exists(path).ok());
}

}  // namespace
}  // namespace host
