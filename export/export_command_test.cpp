// The export end to end through the shell, on designs written for each case. Cases that need
// the file-operation seam run the shell in this process, where a test can install it.
#include "export/export_command.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "host/wstring.h"
#include "standin/design/design_writer.h"
#include "standin/files/file_system.h"
#include "standin/files/paths.h"
#include "standin/shell/shell.h"
#include "testing/fault_file_system.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;
using host::ElementType;
using host::seed::DesignBuilder;
using test_support::Lines;
using test_support::TempFolder;

host::Element& addElement(host::Model& model, uint64_t id, ElementType type) {
  host::Element& element = *model.elements.emplace_back(std::make_unique<host::Element>());
  element.id = id;
  element.type = type;
  return element;
}

host::Element& addBox(host::Model& model, uint64_t id) {
  host::Element& box = addElement(model, id, ElementType::Extrusion);
  box.profile = {{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}};
  box.vector = {0, 0, 3000};
  return box;
}

struct ShellOutcome {
  int exitCode;
  std::vector<std::string> messages;
};

class ExportTest : public ::testing::Test {
 protected:
  // Writes a design of one model "Default" with a box per id and the attachments given.
  std::string writeDesign(const std::string& name, std::vector<uint64_t> ids,
                          std::vector<std::string> attachments = {},
                          void (*edit)(host::Model&) = nullptr) {
    std::string path = temp.Path() + "/" + name;
    DesignBuilder builder(host::ToWindowsPath(path));
    host::Model& model = builder.AddModel("Default");
    for (uint64_t id : ids) addBox(model, id);
    for (const auto& file : attachments) builder.AddAttachment(model, file);
    if (edit) edit(model);
    std::string error;
    EXPECT_TRUE(host::SaveDesignFile(builder.File(), path, &error)) << error;
    return path;
  }

  // Runs `tolvane export` on the design in a shell process of its own.
  ShellOutcome exportInShell(const std::string& design) {
    auto result = test_support::RunShell({"--drive-c", driveC(), design, "tolvane export"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return ShellOutcome{result.exitCode, Lines(result.out)};
  }

  // Runs the shell's code in this process, so that an installed file system applies.
  ShellOutcome exportInProcess(const std::string& design) {
    std::string app = test_support::AppPath(), c = driveC();
    const char* argv[] = {"tolvane-host", "--app",        app.c_str(),     "--drive-c",
                          c.c_str(),      design.c_str(), "tolvane export"};
    std::istringstream in;
    std::ostringstream out, err;
    int status = host::RunShell(7, argv, in, out, err, false);
    host::SetDriveCFolder("");
    return ShellOutcome{status, Lines(out.str())};
  }

  std::string driveC() const { return temp.Path() + "/c"; }
  std::string mainFolder(const std::string& stem) const { return driveC() + "/Temp/" + stem; }

  // The element folders of a main output folder; one that lacks a record is marked.
  std::set<std::string> elementFolders(const std::string& stem) const {
    std::set<std::string> names;
    if (!fs::is_directory(mainFolder(stem))) return names;
    for (const auto& entry : fs::directory_iterator(mainFolder(stem))) {
      const std::u8string utf8 = entry.path().filename().u8string();
      std::string name(utf8.begin(), utf8.end());
      for (const char* record : {"geo.json", "component.json", "attr.json"})
        if (!fs::exists(entry.path() / record)) name += " (no " + std::string(record) + ")";
      names.insert(name);
    }
    return names;
  }

  TempFolder temp;
};

TEST_F(ExportTest, WritesEveryElementWithMeshesOfEveryReachableModel) {
  writeDesign("Walls.dgn", {7}, {"Nested.dgn"});
  writeDesign("Nested.dgn", {8}, {"Site.dgn"});  // leads back to the active design
  std::string site = writeDesign(
      "Site.dgn", {1, 2}, {"Walls.dgn", "Gone.dgn", "Walls.dgn"}, [](host::Model& model) {
        addElement(model, 3, ElementType::Line).points = {{0, 0, 0}, {1, 1, 1}};  // gives no mesh
        addBox(model, 4).invisible = true;                                        // not drawn
      });
  ShellOutcome run = exportInShell(site);
  EXPECT_EQ(run.messages, std::vector<std::string>{"Output to C:\\Temp\\Site"});
  EXPECT_EQ(elementFolders("Site"),
            (std::set<std::string>{"Site.dgn - Default - 1", "Site.dgn - Default - 2",
                                   "Walls.dgn - Default - 7", "Nested.dgn - Default - 8"}));
}

// Folder names that come out the same never overwrite each other: models "a/b" and "a\b",
// and attached files of one name from two folders. The second element is reported and left
// out; the first keeps its records.
TEST_F(ExportTest, ElementsWhoseFolderNamesClashAreReportedAndTheFirstKept) {
  fs::create_directories(temp.Path() + "/x");
  fs::create_directories(temp.Path() + "/y");
  writeDesign("x/Walls.dgn", {7});
  writeDesign("y/Walls.dgn", {7});
  std::string site = temp.Path() + "/Site.dgn";
  DesignBuilder builder(host::ToWindowsPath(site));
  addBox(builder.AddModel("a/b"), 1);
  host::Model& second = builder.AddModel("a\\b");
  addBox(second, 1).vector = {0, 0, 9000};
  host::Model& first = *builder.File().models[0];
  builder.AddAttachment(first, "x/Walls.dgn");
  builder.AddAttachment(first, "y/Walls.dgn");
  builder.AddAttachment(first, "Site.dgn", "a\\b");
  std::string error;
  ASSERT_TRUE(host::SaveDesignFile(builder.File(), site, &error)) << error;

  ShellOutcome run = exportInShell(site);
  auto windows = [](const std::string& local) {
    return BeStringUtilities::WCharToUtf8(host::ToWindowsPath(local).c_str());
  };
  EXPECT_EQ(
      run.messages,
      (std::vector<std::string>{
          "Element folder C:\\Temp\\Site\\Walls.dgn - Default - 7 is taken by element 7 of "
          "model Default in " +
              windows(temp.Path() + "/x/Walls.dgn") + ": element 7 of model Default in " +
              windows(temp.Path() + "/y/Walls.dgn") + " is left out",
          "Element folder C:\\Temp\\Site\\Site.dgn - a_b - 1 is taken by element 1 of "
          "model a/b in " +
              windows(site) + ": element 1 of model a\\b in " + windows(site) + " is left out",
          "Output to C:\\Temp\\Site"}));
  EXPECT_EQ(elementFolders("Site"),
            (std::set<std::string>{"Site.dgn - a_b - 1", "Walls.dgn - Default - 7"}));
  std::ifstream geo(mainFolder("Site") + "/Site.dgn - a_b - 1/geo.json");
  std::string text((std::istreambuf_iterator<char>(geo)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("9000"), std::string::npos) << "the first element's records stay";
}

// The records are written while the next elements are faceted, yet the messages keep the
// elements' order: a record of the first element that can't be written is reported before the
// clash that the second element meets.
TEST_F(ExportTest, MessagesFollowTheElementsOrderWhileTheWritingRunsBehind) {
  std::string site = temp.Path() + "/Site.dgn";
  DesignBuilder builder(host::ToWindowsPath(site));
  addBox(builder.AddModel("a/b"), 1);
  addBox(builder.AddModel("a\\b"), 1);
  builder.AddAttachment(*builder.File().models[0], "Site.dgn", "a\\b");
  std::string error;
  ASSERT_TRUE(host::SaveDesignFile(builder.File(), site, &error)) << error;
  host::testing::FaultInjectingFileSystem refusing;
  refusing.FailOp(host::testing::FileOp::NewWritableFile, "- 1/attr.json");
  host::ScopedFileSystem scoped(refusing);
  ShellOutcome run = exportInProcess(site);
  ASSERT_EQ(run.messages.size(), 3u);
  EXPECT_EQ(run.messages[0], "Can't write file C:\\Temp\\Site\\Site.dgn - a_b - 1\\attr.json");
  EXPECT_TRUE(
      run.messages[1].starts_with("Element folder C:\\Temp\\Site\\Site.dgn - a_b - 1 is taken"))
      << run.messages[1];
}

TEST_F(ExportTest, ASecondExportReplacesTheFirst) {
  exportInShell(writeDesign("Site.dgn", {1, 2}));
  std::ofstream(mainFolder("Site") + "/stray.txt") << "left by hand";
  exportInShell(writeDesign("Site.dgn", {5}));
  EXPECT_EQ(elementFolders("Site"), std::set<std::string>{"Site.dgn - Default - 5"});
}

TEST_F(ExportTest, MainFolderNamesFollowTheDesignFileStem) {
  struct Case {
    const char* file;
    const char* folder;
  };
  // Names that Windows keeps for devices, and dots or blanks that it would drop from the end,
  // are made safe the same way everywhere.
  const Case cases[] = {{"Plan.i.dgn", "Plan"},     {"Plan.I.dgn", "Plan"},
                        {"Hall.i.i.dgn", "Hall.i"}, {"CON.dgn", "CON_"},
                        {"com1.i.dgn", "com1_"},    {"COM0.dgn", "COM0"},
                        {"Site..dgn", "Site_"},     {"Lpt9 .dgn", "Lpt9__"},
                        {"NUL.x.dgn", "NUL_.x"},    {"CONSOLE.dgn", "CONSOLE"}};
  for (const auto& c : cases) {
    ShellOutcome run = exportInShell(writeDesign(c.file, {}));
    EXPECT_EQ(run.messages,
              std::vector<std::string>{std::string("Output to C:\\Temp\\") + c.folder});
    EXPECT_TRUE(fs::is_directory(mainFolder(c.folder))) << c.file;
    EXPECT_TRUE(fs::is_empty(mainFolder(c.folder))) << c.file << ": no drawn elements";
  }
}

// The element folder of a design named for a device: Windows reads "aux.dgn - Default - 1"
// as the device AUX with an extension.
TEST_F(ExportTest, ElementFoldersNamedForADeviceGetAGuard) {
  exportInShell(writeDesign("aux.dgn", {1}));
  EXPECT_EQ(elementFolders("aux_"), std::set<std::string>{"aux_.dgn - Default - 1"});
}

// A volume that takes names differing only in case for the same: the part of each path under
// root is looked up in lower case, as a case-folding volume would find it.
class CaseFoldingFileSystem : public host::FileSystemWrapper {
 public:
  explicit CaseFoldingFileSystem(std::string root)
      : FileSystemWrapper(host::LocalFileSystem()), m_root(std::move(root)) {}
  host::FileStatus CreateDirectory(const std::string& path) override {
    return FileSystemWrapper::CreateDirectory(folded(path));
  }
  host::FileStatus Stat(const std::string& path, host::FileInfo* info) override {
    return FileSystemWrapper::Stat(folded(path), info);
  }
  host::FileStatus Exists(const std::string& path) override {
    return FileSystemWrapper::Exists(folded(path));
  }
  host::FileStatus RemoveTree(const std::string& path) override {
    return FileSystemWrapper::RemoveTree(folded(path));
  }
  host::FileStatus NewWritableFile(const std::string& path,
                                   std::unique_ptr<host::WritableFile>* file) override {
    return FileSystemWrapper::NewWritableFile(folded(path), file);
  }
  host::FileStatus RenameFile(const std::string& from, const std::string& to) override {
    return FileSystemWrapper::RenameFile(folded(from), folded(to));
  }

 private:
  std::string folded(std::string path) const {
    if (!path.starts_with(m_root)) return path;
    for (size_t i = m_root.size(); i < path.size(); ++i)
      path[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(path[i])));
    return path;
  }
  std::string m_root;
};

// On a volume that folds case, models "Walls" and "walls" name one folder: the second element
// is reported as a clash and the first keeps its records, rather than being written over.
TEST_F(ExportTest, AFolderTheVolumeTakesForOneMadeBeforeIsAClash) {
  std::string site = temp.Path() + "/Site.dgn";
  DesignBuilder builder(host::ToWindowsPath(site));
  addBox(builder.AddModel("Walls"), 1);
  host::Model& second = builder.AddModel("walls");
  addBox(second, 1).vector = {0, 0, 9000};
  builder.AddAttachment(*builder.File().models[0], "Site.dgn", "walls");
  std::string error;
  ASSERT_TRUE(host::SaveDesignFile(builder.File(), site, &error)) << error;
  fs::create_directories(driveC() + "/Temp");
  CaseFoldingFileSystem folding(driveC() + "/Temp/");
  host::ScopedFileSystem scoped(folding);
  ShellOutcome run = exportInProcess(site);
  const std::string windows = BeStringUtilities::WCharToUtf8(host::ToWindowsPath(site).c_str());
  EXPECT_EQ(run.messages,
            (std::vector<std::string>{
                "Element folder C:\\Temp\\Site\\Site.dgn - walls - 1 is taken by element 1 of "
                "model Walls in " +
                    windows + ": element 1 of model walls in " + windows + " is left out",
                "Output to C:\\Temp\\Site"}));
  EXPECT_EQ(elementFolders("site"), std::set<std::string>{"site.dgn - walls - 1"});
  std::ifstream geo(mainFolder("site") + "/site.dgn - walls - 1/geo.json");
  std::string text((std::istreambuf_iterator<char>(geo)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("9000"), std::string::npos) << "the first element's records stay";
}

// Records are found by their wide names and hold UTF-8 in every locale: under Latin-1 the
// files of a folder named with "ü" could not be opened by a narrow name, and under CP1251
// "ü" has no spelling at all, so a locale text would hold "?".
TEST_F(ExportTest, RecordsAreWrittenAndHoldUtf8WhateverTheLocale) {
  std::string site = temp.Path() + "/Site.dgn";
  DesignBuilder builder(host::ToWindowsPath(site));
  host::Model& model = builder.AddModel("Ebene T\xC3\xBCr");
  builder.AddClass("Door", "Door", {{"mark", "Mark"}});
  addBox(model, 1).instances.push_back({"Door", {{"mark", std::string("T\xC3\xBCr")}}});
  std::string error;
  ASSERT_TRUE(host::SaveDesignFile(builder.File(), site, &error)) << error;
  const std::string folder = "Site.dgn - Ebene T\xC3\xBCr - 1";
  for (const char* locale : {"de_DE.ISO-8859-1", "ru_RU.CP1251", "C.UTF-8"}) {
    SCOPED_TRACE(locale);
    auto result = test_support::RunShell({"--drive-c", driveC(), site, "tolvane export"},
                                         {{"LC_ALL", locale}});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(Lines(result.out), std::vector<std::string>{"Output to C:\\Temp\\Site"});
    EXPECT_EQ(elementFolders("Site"), std::set<std::string>{folder});
    std::ifstream attr(test_support::Utf8Path(mainFolder("Site") + "/" + folder + "/attr.json"));
    std::string text((std::istreambuf_iterator<char>(attr)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\"T\xC3\xBCr\""), std::string::npos) << text;
  }
}

// A long model name gives records whose paths go beyond Windows' old limit of 260
// characters; they are written whole, on every platform.
TEST_F(ExportTest, RecordsBeyondTheOldWindowsPathLimitAreWritten) {
  const std::string model(220, 'm');
  const std::string site = temp.Path() + "/Site.dgn";
  DesignBuilder builder(host::ToWindowsPath(site));
  addBox(builder.AddModel(model), 1);
  std::string error;
  ASSERT_TRUE(host::SaveDesignFile(builder.File(), site, &error)) << error;
  ShellOutcome run = exportInShell(site);
  EXPECT_EQ(run.messages, std::vector<std::string>{"Output to C:\\Temp\\Site"});
  const std::string folder = mainFolder("Site") + "/Site.dgn - " + model + " - 1";
  for (const char* record : {"geo.json", "component.json", "attr.json"}) {
    const std::string path = folder + "/" + record;
    EXPECT_GT(path.size(), 260u);
    EXPECT_TRUE(host::LocalFileSystem().Exists(path).ok()) << path;
  }
}

TEST_F(ExportTest, StemsThatWouldNameTempItselfOrAboveFailAndLeaveTempAlone) {
  fs::create_directories(mainFolder("keep"));
  for (const char* file : {".i.dgn", "..dgn", "...dgn"}) {
    ShellOutcome run = exportInShell(writeDesign(file, {1}));
    EXPECT_EQ(run.messages, std::vector<std::string>{"createMainFolder ERROR!"}) << file;
    EXPECT_TRUE(fs::is_directory(mainFolder("keep"))) << file;
  }
}

TEST_F(ExportTest, TheMainFolderIsTriedTwice) {
  struct Case {
    int failures;
    std::vector<std::string> messages;
    size_t folders;
  };
  const Case cases[] = {{1, {"Output to C:\\Temp\\Site"}, 1}, {2, {"createMainFolder ERROR!"}, 0}};
  std::string site = writeDesign("Site.dgn", {1});
  for (const auto& c : cases) {
    fs::remove_all(mainFolder("Site"));
    fs::create_directories(driveC() + "/Temp");
    host::testing::FaultInjectingFileSystem failing;
    failing.FailOp(host::testing::FileOp::CreateDirectory, "/Temp/Site", c.failures);
    host::ScopedFileSystem scoped(failing);
    ShellOutcome run = exportInProcess(site);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.messages, c.messages) << c.failures;
    EXPECT_EQ(elementFolders("Site").size(), c.folders) << c.failures;
  }
}

TEST_F(ExportTest, ARecordThatCantBeWrittenIsReportedAndTheExportGoesOn) {
  std::string site = writeDesign("Site.dgn", {1, 2});
  host::testing::FaultInjectingFileSystem refusing;
  refusing.FailOp(host::testing::FileOp::NewWritableFile, "- 1/component.json");
  host::ScopedFileSystem scoped(refusing);
  ShellOutcome run = exportInProcess(site);
  EXPECT_EQ(run.messages,
            (std::vector<std::string>{
                "Can't write file C:\\Temp\\Site\\Site.dgn - Default - 1\\component.json",
                "Output to C:\\Temp\\Site"}));
  EXPECT_EQ(elementFolders("Site"),
            (std::set<std::string>{"Site.dgn - Default - 1 (no component.json)",
                                   "Site.dgn - Default - 2"}));
}

TEST_F(ExportTest, AnElementFolderThatCantBeMadeLosesOnlyThatElement) {
  std::string site = writeDesign("Site.dgn", {1, 2});
  host::testing::FaultInjectingFileSystem failing;
  failing.FailOp(host::testing::FileOp::CreateDirectory, "Site.dgn - Default - 1", 1);
  host::ScopedFileSystem scoped(failing);
  ShellOutcome run = exportInProcess(site);
  ASSERT_EQ(run.messages.size(), 4u);  // the three records of element 1, then the output
  EXPECT_EQ(run.messages[0], "Can't write file C:\\Temp\\Site\\Site.dgn - Default - 1\\geo.json");
  EXPECT_EQ(run.messages.back(), "Output to C:\\Temp\\Site");
  EXPECT_EQ(elementFolders("Site"), std::set<std::string>{"Site.dgn - Default - 2"});
}

// A scale that takes a mesh beyond the range of a double in millimetres: no record may hold a
// number no reader accepts, so that element is reported and gets no geometry record, while
// its other records and the other elements are written.
TEST_F(ExportTest, AMeshThatIsntFiniteInMillimetresGetsNoGeometryRecord) {
  std::string site = temp.Path() + "/Site.dgn";
  DesignBuilder builder(host::ToWindowsPath(site));
  host::Model& model = builder.AddModel("Default", 1e-300);  // 1e303 mm to a unit
  addBox(model, 1);
  addBox(model, 2).vector = {0, 0, 1e6};
  std::string error;
  ASSERT_TRUE(host::SaveDesignFile(builder.File(), site, &error)) << error;
  ShellOutcome run = exportInShell(site);
  EXPECT_EQ(run.messages,
            (std::vector<std::string>{
                "Invalid geometry of element 2 of model Default in " +
                    BeStringUtilities::WCharToUtf8(host::ToWindowsPath(site).c_str()) +
                    ": its mesh in millimetres is not finite",
                "Output to C:\\Temp\\Site"}));
  EXPECT_EQ(
      elementFolders("Site"),
      (std::set<std::string>{"Site.dgn - Default - 1", "Site.dgn - Default - 2 (no geo.json)"}));
}

// Records the folder of each geometry record written, in order.
class RecordingFileSystem : public host::FileSystemWrapper {
 public:
  RecordingFileSystem() : FileSystemWrapper(host::LocalFileSystem()) {}
  host::FileStatus NewWritableFile(const std::string& path,
                                   std::unique_ptr<host::WritableFile>* file) override {
    fs::path written(path);
    if (written.filename() == "geo.json")
      folders.push_back(written.parent_path().filename().string());
    return FileSystemWrapper::NewWritableFile(path, file);
  }
  std::vector<std::string> folders;
};

// Files L0 to L20, each attaching the next one twice: 2^21 - 1 paths, 21 models. Each model
// is exported once, in the order of first visit.
TEST_F(ExportTest, AModelReachedByManyPathsIsExportedOnce) {
  constexpr int kLevels = 20;
  std::vector<std::string> expected;
  std::string top;
  for (int level = kLevels; level >= 0; --level) {
    std::string next = "L" + std::to_string(level + 1) + ".dgn";
    std::vector<std::string> attachments;
    if (level < kLevels) attachments = {next, next};
    std::string name = "L" + std::to_string(level) + ".dgn";
    top = writeDesign(name, {static_cast<uint64_t>(level + 1)}, attachments);
    expected.insert(expected.begin(), name + " - Default - " + std::to_string(level + 1));
  }
  RecordingFileSystem recording;
  host::ScopedFileSystem scoped(recording);
  ShellOutcome run = exportInProcess(top);
  EXPECT_EQ(run.messages, std::vector<std::string>{"Output to C:\\Temp\\L0"});
  EXPECT_EQ(recording.folders, expected);
}

}  // namespace
