#include "records/output_folders.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/dgn_model.h"
#include "records/base.h"
#include "records/record_text_writer.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

// Drive C in a folder of its own, in a UTF-8 locale.
class OutputFoldersTest : public ::testing::Test {
 protected:
  fs::path Local(const std::string& relative) const {
    return fs::path(m_driveC.LocalFolder()) / fs::u8path(relative);
  }
  static void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
  }
  static std::string Utf8(const WString& text) {
    return BeStringUtilities::WCharToUtf8(text.c_str());
  }

  test_support::ScopedLocale m_locale{LC_CTYPE, "C.UTF-8"};
  host::seed::ScopedDriveC m_driveC;
};

std::unique_ptr<host::DesignFile> designAt(const std::wstring& path) {
  DesignBuilder builder(path);
  builder.AddModel("Default");
  return builder.Release();
}

TEST_F(OutputFoldersTest, NamesTheMainFolderAfterTheStemWithoutOneDotI) {
  struct Case {
    const wchar_t* design;
    const char* folder;
  };
  const Case cases[] = {
      {L"Z:\\p\\Site.i.dgn", "C:\\Temp\\Site"},
      {L"Z:\\p\\Site.I.dgn", "C:\\Temp\\Site"},
      {L"Z:\\p\\Site.dgn", "C:\\Temp\\Site"},
      {L"Z:\\p\\Site.i.i.dgn", "C:\\Temp\\Site.i"},
      {L"Z:\\p\\Site", "C:\\Temp\\Site"},
      {L"Z:\\p\\Pl\u00e4ne.dgn", "C:\\Temp\\Pl\xc3\xa4ne"},
      {L"Z:\\p\\x.i", "C:\\Temp\\x"},
  };
  for (const Case& c : cases) {
    ScopedSession session(designAt(c.design));
    WString folder(L"left over");
    EXPECT_EQ(createMainFolder(folder), 0) << c.folder;
    EXPECT_EQ(Utf8(folder), c.folder);
    EXPECT_TRUE(fs::is_directory(Local("Temp/" + Utf8(folder).substr(8)))) << c.folder;
  }
}

TEST_F(OutputFoldersTest, RefusesStemsThatNameTempOrAFolderAboveIt) {
  Touch(Local("Temp/keep/record.json"));
  Touch(Local("keep.txt"));
  for (const wchar_t* design : {L"Z:\\p\\.i.dgn", L"Z:\\p\\..dgn", L"Z:\\p\\...dgn",
                                L"Z:\\p\\.I.dgn", L"Z:\\p\\...i.dgn"}) {
    ScopedSession session(designAt(design));
    WString folder(L"left over");
    EXPECT_NE(createMainFolder(folder), 0) << Utf8(design);
    EXPECT_TRUE(folder.empty());
  }
  EXPECT_TRUE(fs::exists(Local("Temp/keep/record.json")));
  EXPECT_TRUE(fs::exists(Local("keep.txt")));
}

TEST_F(OutputFoldersTest, ASecondExportEmptiesTheFolderButFollowsNoLink) {
  ScopedSession session(designAt(L"Z:\\p\\Site.dgn"));
  WString folder;
  ASSERT_EQ(createMainFolder(folder), 0);
  Touch(Local("Temp/Site/old - element - 1/geo.json"));
  Touch(Local("outside/precious.json"));
  std::error_code made;
  fs::create_directory_symlink(Local("outside"), Local("Temp/Site/link"), made);
  if (made) GTEST_SKIP() << "no symbolic links can be made here: " << made.message();

  ASSERT_EQ(createMainFolder(folder), 0);
  EXPECT_TRUE(fs::is_empty(Local("Temp/Site")));
  EXPECT_TRUE(fs::exists(Local("outside/precious.json")));
}

// --- Element folders.

class ElementFolderTest : public OutputFoldersTest {
 protected:
  // The element folder of an element with that id in a model of that name of the active
  // design Z:\p\Site.dgn; the main output folder is made first.
  WString ElementFolder(const std::string& modelName, uint64_t id, int* status = nullptr) {
    DesignBuilder builder(L"Z:\\p\\Site.dgn");
    host::Model& model = builder.AddModel(modelName);
    builder.AddElement(model, host::ElementType::Sphere).id = id;
    ScopedSession session(builder.Release());
    WString mainFolder;
    EXPECT_EQ(createMainFolder(mainFolder), 0);
    ElementHandle element(id, ISessionMgr::GetActiveDgnModelRefP());
    WString folder;
    const int result = createElementFolder(folder, mainFolder.c_str(), element);
    if (status) *status = result;
    // The export's way to the same folder: the model's part of the name made once.
    ModelFolderNamer(mainFolder, *element.GetDgnModelP()).Name(id, m_namer);
    return folder;
  }

  RecordFolder m_namer;  // the folder of the last element as ModelFolderNamer names it
};

TEST_F(ElementFolderTest, MakesOneSafeFolderNameInsideTheMainFolder) {
  struct Case {
    std::string model;
    uint64_t id;
    std::string name;
  };
  const Case cases[] = {
      {"Default", 10768, "Site.dgn - Default - 10768"},
      {"Default", 0, "Site.dgn - Default - 0"},
      {"Default", UINT64_MAX, "Site.dgn - Default - 18446744073709551615"},
      {"A<B>", 1, "Site.dgn - A(B) - 1"},
      {"a:b", 2, "Site.dgn - a_b - 2"},
      {"x\\..\\..\\y", 3, "Site.dgn - x_.._.._y - 3"},
      {"q?*|\"/\t\x1f", 4, "Site.dgn - q_______ - 4"},
      {"Z\xc3\xbcrich", 5, "Site.dgn - Z\xc3\xbcrich - 5"},
  };
  for (const Case& c : cases) {
    int status = -1;
    const WString folder = ElementFolder(c.model, c.id, &status);
    EXPECT_EQ(status, 0) << c.name;
    EXPECT_EQ(Utf8(folder), "C:\\Temp\\Site\\" + c.name);
    EXPECT_TRUE(fs::is_directory(Local("Temp/Site/" + c.name))) << c.name;
    AString code;
    getElementCode(folder.c_str(), code);
    EXPECT_EQ(code, c.name);
    EXPECT_EQ(m_namer.path, folder) << c.name;
    EXPECT_EQ(m_namer.code, code) << c.name;
    EXPECT_EQ(m_namer.quotedCode, RecordTextWriter::Quote(code)) << c.name;
  }
}

TEST_F(ElementFolderTest, AnElementOfAnAttachmentIsNamedAfterTheAttachedFile) {
  DesignBuilder walls(L"Z:\\ref\\Walls.dgn");
  walls.AddElement(walls.AddModel("Default"), host::ElementType::Sphere).id = 1234;
  DesignBuilder site(L"Z:\\p\\Site.i.dgn");
  site.AddAttachment(site.AddModel("Default"), "/ref/Walls.dgn");
  std::vector<std::unique_ptr<host::DesignFile>> others;
  others.push_back(walls.Release());
  ScopedSession session(site.Release(), std::move(others));

  WString mainFolder;
  ASSERT_EQ(createMainFolder(mainFolder), 0);
  const auto& attachments = ISessionMgr::GetActiveDgnModelP()->GetAttachments();
  ASSERT_EQ(attachments.size(), 1u);
  ElementHandle element(1234, attachments[0].get());
  WString folder;
  EXPECT_EQ(createElementFolder(folder, mainFolder.c_str(), element), 0);
  EXPECT_EQ(Utf8(folder), "C:\\Temp\\Site\\Walls.dgn - Default - 1234");
  EXPECT_TRUE(fs::is_directory(Local("Temp/Site/Walls.dgn - Default - 1234")));
}

TEST_F(ElementFolderTest, TheSameFolderAgainLosesTheEarlierRecords) {
  DesignBuilder builder(L"Z:\\p\\Site.dgn");
  builder.AddElement(builder.AddModel("Default"), host::ElementType::Sphere).id = 7;
  ScopedSession session(builder.Release());
  WString mainFolder;
  ASSERT_EQ(createMainFolder(mainFolder), 0);
  ElementHandle element(7, ISessionMgr::GetActiveDgnModelRefP());
  WString folder;
  ASSERT_EQ(createElementFolder(folder, mainFolder.c_str(), element), 0);
  Touch(Local("Temp/Site/Site.dgn - Default - 7/geo.json"));
  EXPECT_EQ(createElementFolder(folder, mainFolder.c_str(), element), 0);
  EXPECT_TRUE(fs::is_empty(Local("Temp/Site/Site.dgn - Default - 7")));
}

TEST_F(ElementFolderTest, WithoutAMainFolderNothingIsMade) {
  DesignBuilder builder(L"Z:\\p\\Site.dgn");
  builder.AddElement(builder.AddModel("Default"), host::ElementType::Sphere).id = 7;
  ScopedSession session(builder.Release());
  ElementHandle element(7, ISessionMgr::GetActiveDgnModelRefP());
  for (WCharCP mainFolder : {static_cast<WCharCP>(nullptr), L""}) {
    WString folder;
    EXPECT_NE(createElementFolder(folder, mainFolder, element), 0);
  }
  EXPECT_TRUE(fs::is_empty(m_driveC.LocalFolder()));
}

TEST(ElementCodeTest, TakesTheTextAfterTheLastBackslashWhole) {
  test_support::ScopedLocale locale(LC_CTYPE, "C.UTF-8");
  const std::wstring longName(300, L'\u00e9');
  struct Case {
    std::wstring path;
    std::string code;
  };
  std::string longCode;
  for (int i = 0; i < 300; ++i) longCode += "\xc3\xa9";
  const Case cases[] = {
      {L"C:\\Temp\\Site\\Site.dgn - Default - 1", "Site.dgn - Default - 1"},
      {L"no backslash", "no backslash"},
      {L"C:\\Temp\\Site\\", ""},
      {L"C:\\Temp\\Site\\" + longName, longCode},
  };
  for (const Case& c : cases) {
    AString code("left over");
    getElementCode(c.path.c_str(), code);
    EXPECT_EQ(code, c.code);
  }
}

}  // namespace
