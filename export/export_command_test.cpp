#include "export/export_command.h"

#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "host/file_system.h"
#include "host/seed.h"

namespace {

namespace fs = std::filesystem;
using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedDriveC;
using host::seed::ScopedSession;

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

std::unique_ptr<host::DesignFile> designWithBoxes(const std::wstring& path,
                                                  std::vector<uint64_t> ids,
                                                  std::vector<std::string> attachments = {}) {
  DesignBuilder builder(path);
  host::Model& model = builder.AddModel("Default");
  for (uint64_t id : ids) addBox(model, id);
  for (const auto& file : attachments) builder.AddAttachment(model, file);
  return builder.Release();
}

// The names of the element folders in a main output folder; a folder that lacks one of the
// three records is marked.
std::set<std::string> elementFolders(const std::string& mainFolder) {
  std::set<std::string> names;
  if (!fs::is_directory(mainFolder)) return names;
  for (const auto& entry : fs::directory_iterator(mainFolder)) {
    std::string name = entry.path().filename().string();
    for (const char* record : {"geo.json", "component.json", "attr.json"})
      if (!fs::exists(entry.path() / record)) name += " (no " + std::string(record) + ")";
    names.insert(name);
  }
  return names;
}

class ExportTest : public ::testing::Test {
 protected:
  std::string mainFolder(const std::string& stem) { return driveC.LocalFolder() + "/Temp/" + stem; }
  ScopedDriveC driveC;
};

TEST_F(ExportTest, WritesOneFolderPerElementWithMeshesOfEveryReachableModel) {
  std::vector<std::unique_ptr<host::DesignFile>> others;
  others.push_back(designWithBoxes(L"Z:\\p\\Walls.dgn", {7}, {"Nested.dgn"}));
  others.push_back(designWithBoxes(L"Z:\\p\\Nested.dgn", {8}, {"Site.dgn"}));  // leads back
  auto site = designWithBoxes(L"Z:\\p\\Site.dgn", {1, 2}, {"Walls.dgn", "Gone.dgn", "Walls.dgn"});
  host::Model& model = *site->models.front();
  addElement(model, 3, ElementType::Line).points = {{0, 0, 0}, {1, 1, 1}};  // gives no mesh
  addBox(model, 4).invisible = true;                                        // not drawn
  ScopedSession session(std::move(site), std::move(others));

  exportCommand(L"ignored text");

  EXPECT_EQ(session.Messages(), std::vector<std::string>{"Output to C:\\Temp\\Site"});
  EXPECT_EQ(elementFolders(mainFolder("Site")),
            (std::set<std::string>{"Site.dgn - Default - 1", "Site.dgn - Default - 2",
                                   "Walls.dgn - Default - 7", "Nested.dgn - Default - 8"}));
}

TEST_F(ExportTest, ASecondExportReplacesTheFirst) {
  {
    ScopedSession session(designWithBoxes(L"Z:\\p\\Site.dgn", {1, 2}));
    exportCommand(L"");
  }
  std::ofstream(mainFolder("Site") + "/stray.txt") << "left by hand";
  ScopedSession session(designWithBoxes(L"Z:\\p\\Site.dgn", {5}));
  exportCommand(L"");
  EXPECT_EQ(elementFolders(mainFolder("Site")), std::set<std::string>{"Site.dgn - Default - 5"});
}

TEST_F(ExportTest, ADesignWithoutDrawnElementsLeavesAnEmptyMainFolder) {
  ScopedSession session(designWithBoxes(L"Z:\\p\\Empty.i.dgn", {}));
  exportCommand(L"");
  EXPECT_EQ(session.Messages(), std::vector<std::string>{"Output to C:\\Temp\\Empty"});
  EXPECT_TRUE(fs::is_directory(mainFolder("Empty")));
  EXPECT_TRUE(fs::is_empty(mainFolder("Empty")));
}

TEST_F(ExportTest, StemsThatWouldNameTempItselfOrAboveFailAndLeaveTempAlone) {
  fs::create_directories(mainFolder("keep"));
  for (const wchar_t* path : {L"Z:\\p\\.i.dgn", L"Z:\\p\\..dgn", L"Z:\\p\\...dgn"}) {
    ScopedSession session(designWithBoxes(path, {1}));
    exportCommand(L"");
    EXPECT_EQ(session.Messages(), std::vector<std::string>{"createMainFolder ERROR!"}) << path;
    EXPECT_TRUE(fs::is_directory(mainFolder("keep"))) << path;
  }
}

// Fails the first `failures` creations of folders whose path holds `pattern`.
class FailingFolders : public host::FileSystemWrapper {
 public:
  FailingFolders(std::string pattern, int failures)
      : FileSystemWrapper(host::LocalFileSystem()),
        m_pattern(std::move(pattern)),
        m_failures(failures) {}
  bool CreateDirectory(const std::string& path) override {
    if (path.find(m_pattern) != std::string::npos && m_failures > 0) {
      --m_failures;
      return false;
    }
    return FileSystemWrapper::CreateDirectory(path);
  }

 private:
  std::string m_pattern;
  int m_failures;
};

TEST_F(ExportTest, TheMainFolderIsTriedTwice) {
  struct Case {
    int failures;
    std::vector<std::string> messages;
    size_t folders;
  };
  const Case cases[] = {{1, {"Output to C:\\Temp\\Site"}, 1}, {2, {"createMainFolder ERROR!"}, 0}};
  for (const auto& c : cases) {
    fs::create_directories(driveC.LocalFolder() + "/Temp");
    FailingFolders failing("/Temp/", c.failures);
    host::ScopedFileSystem scoped(failing);
    ScopedSession session(designWithBoxes(L"Z:\\p\\Site.dgn", {1}));
    exportCommand(L"");
    EXPECT_EQ(session.Messages(), c.messages) << c.failures;
    EXPECT_EQ(elementFolders(mainFolder("Site")).size(), c.folders) << c.failures;
  }
}

// Refuses to create files whose name contains `refused`.
class RefusingFiles : public host::FileSystemWrapper {
 public:
  explicit RefusingFiles(std::string refused)
      : FileSystemWrapper(host::LocalFileSystem()), m_refused(std::move(refused)) {}
  std::unique_ptr<host::WritableFile> OpenForWrite(const std::string& path) override {
    if (path.find(m_refused) != std::string::npos) return nullptr;
    return FileSystemWrapper::OpenForWrite(path);
  }

 private:
  std::string m_refused;
};

TEST_F(ExportTest, ARecordThatCantBeWrittenIsReportedAndTheExportGoesOn) {
  RefusingFiles refusing("- 1/component.json");
  host::ScopedFileSystem scoped(refusing);
  ScopedSession session(designWithBoxes(L"Z:\\p\\Site.dgn", {1, 2}));
  exportCommand(L"");
  EXPECT_EQ(session.Messages(),
            (std::vector<std::string>{
                "Can't write file C:\\Temp\\Site\\Site.dgn - Default - 1\\component.json",
                "Output to C:\\Temp\\Site"}));
  EXPECT_EQ(elementFolders(mainFolder("Site")),
            (std::set<std::string>{"Site.dgn - Default - 1 (no component.json)",
                                   "Site.dgn - Default - 2"}));
}

TEST_F(ExportTest, AnElementFolderThatCantBeMadeLosesOnlyThatElement) {
  DesignBuilder builder(L"Z:\\p\\Site.dgn");
  addBox(builder.AddModel("Default"), 1);
  addBox(builder.AddModel("Second"), 2);
  builder.File().activeModel = "Default";
  builder.File().models.front()->attachments.push_back({"Site.dgn", "Second"});
  FailingFolders failing("Site.dgn - Default - 1", 1);
  host::ScopedFileSystem scoped(failing);
  ScopedSession session(builder.Release());
  exportCommand(L"");
  EXPECT_EQ(session.Messages().size(), 4u);  // three records of element 1, then the output
  EXPECT_EQ(session.Messages().back(), "Output to C:\\Temp\\Site");
  EXPECT_EQ(elementFolders(mainFolder("Site")), std::set<std::string>{"Site.dgn - Second - 2"});
}

}  // namespace
