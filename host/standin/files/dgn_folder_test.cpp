#include "host/dgn_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "standin/files/file_system.h"
#include "standin/files/paths.h"
#include "standin/files/system.h"
#include "testing/fault_file_system.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;

std::wstring portableNameOf(WCharCP name, WCharCP searchPath = nullptr) {
  DgnFolderMonikerPtr moniker = DgnFolderMoniker::CreateFromFolderName(name, searchPath);
  return moniker.IsValid() ? std::wstring(moniker->GetPortableName()) : L"<null>";
}

TEST(DgnFolderMonikerTest, PortableNameIsTheFullPathEndingWithOneBackslash) {
  struct Case {
    const wchar_t* name;
    const wchar_t* searchPath;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"C:\\Temp\\Site", nullptr, L"C:\\Temp\\Site\\"},
      {L"c:\\Temp\\Site\\", nullptr, L"C:\\Temp\\Site\\"},
      {L"C:\\Temp\\\\Site\\\\", nullptr, L"C:\\Temp\\Site\\"},
      {L"C:/Temp/./a/../Site", nullptr, L"C:\\Temp\\Site\\"},
      {L"C:\\..\\..\\Temp", nullptr, L"C:\\Temp\\"},
      {L"C:\\", nullptr, L"C:\\"},
      {L"C:\\My Site", nullptr, L"C:\\My Site\\"},
      {L"/home/ann/out", nullptr, L"Z:\\home\\ann\\out\\"},
      {L"/", nullptr, L"Z:\\"},
      {L"D:\\x", nullptr, L"D:\\x\\"},
      {L"Site", L"C:\\Temp", L"C:\\Temp\\Site\\"},
      {L"..\\Other", L"C:\\Temp\\Site", L"C:\\Temp\\Other\\"},
      {L"C:\\Abs", L"C:\\Temp", L"C:\\Abs\\"},
      {L"", nullptr, L"<null>"},
      {nullptr, nullptr, L"<null>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name ? c.name : L"(null)");
    EXPECT_EQ(portableNameOf(c.name, c.searchPath), c.expected);
  }
}

TEST(DgnFolderMonikerTest, RelativeNameWithoutSearchPathIsTakenFromTheWorkingFolder) {
  EXPECT_EQ(portableNameOf(L"sub"), host::ToWindowsPath(host::WorkingFolder()) + L"\\sub\\");
}

class DgnFolderTest : public ::testing::Test {
 protected:
  // Makes a folder (with its parents) below drive C.
  void MakeFolder(const std::string& relative) {
    fs::create_directories(test_support::Utf8Path(drive_.LocalFolder() + "/" + relative));
  }

  DgnFolderPtr Open(WCharCP name, StatusInt* status) {
    DgnFolderMonikerPtr moniker = DgnFolderMoniker::CreateFromFolderName(name, nullptr);
    *status = -1;
    return DgnFolder::CreateFromMoniker(*status, *moniker);
  }

  static std::vector<std::wstring> Names(const DgnFolderMonikerListPtr& list) {
    std::vector<std::wstring> names;
    for (const DgnFolderMonikerPtr& moniker : *list) names.push_back(moniker->GetPortableName());
    return names;
  }

  host::seed::ScopedDriveC drive_;
};

TEST_F(DgnFolderTest, CreateFromMonikerSucceedsOnlyForAnExistingFolder) {
  MakeFolder("Temp/Site");
  std::ofstream(fs::path(drive_.LocalFolder()) / "Temp" / "plain.txt") << "x";
  struct Case {
    const wchar_t* name;
    bool found;
  };
  const Case cases[] = {
      {L"C:\\Temp\\Site", true},
      {L"C:\\Temp", true},
      {L"C:\\", true},
      {L"C:\\Temp\\Gone", false},
      {L"C:\\Temp\\plain.txt", false},
      {L"D:\\Temp\\Site", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StatusInt status;
    DgnFolderPtr folder = Open(c.name, &status);
    EXPECT_EQ(folder.IsValid(), c.found);
    EXPECT_EQ(status == 0, c.found);
    if (folder.IsValid()) {
      EXPECT_EQ(folder->GetPortableName(), portableNameOf(c.name));
    }
  }
}

// Where local paths have drives (Windows), a local path on drive C is the host's drive C.
TEST_F(DgnFolderTest, LocalFormNamesTheSameFolder) {
  if (host::kLocalPathsHaveDrives) GTEST_SKIP() << "local paths on drive C are the host's";
  MakeFolder("Temp/Site");
  std::wstring local = fs::path(drive_.LocalFolder() + "/Temp/Site").wstring();
  StatusInt status;
  DgnFolderPtr folder = Open(local.c_str(), &status);
  ASSERT_TRUE(folder.IsValid());
  EXPECT_EQ(status, 0);
}

TEST_F(DgnFolderTest, SubFoldersAreImmediateOnesSortedByUtf8Bytes) {
  // "B" beside "b" only where the volume tells them apart.
  for (const char* name : {"b", "B", "a", "\xc3\xa9", "Z", "a/deep", "10", "9"})
    if (!host::kLocalPathsHaveDrives || std::string(name) != "B")
      MakeFolder(std::string("Out/") + name);
  std::ofstream(fs::path(drive_.LocalFolder()) / "Out" / "file.json") << "{}";
  StatusInt status;
  DgnFolderPtr folder = Open(L"C:\\Out", &status);
  ASSERT_TRUE(folder.IsValid());
  DgnFolderMonikerListPtr list = folder->GetSubFolders(nullptr);
  ASSERT_TRUE(list.IsValid());
  std::vector<std::wstring> expected = {L"C:\\Out\\10\\",    L"C:\\Out\\9\\", L"C:\\Out\\B\\",
                                        L"C:\\Out\\Z\\",     L"C:\\Out\\a\\", L"C:\\Out\\b\\",
                                        L"C:\\Out\\\u00e9\\"};
  if (host::kLocalPathsHaveDrives) expected.erase(expected.begin() + 2);
  EXPECT_EQ(Names(list), expected);
}

TEST_F(DgnFolderTest, FilterSelectsByWildcards) {
  for (const char* name : {"el1", "el22", "ex1", "other"}) MakeFolder(std::string("Out/") + name);
  StatusInt status;
  DgnFolderPtr folder = Open(L"C:\\Out", &status);
  ASSERT_TRUE(folder.IsValid());
  struct Case {
    const wchar_t* filter;
    std::vector<std::wstring> names;
  };
  const Case cases[] = {
      {L"", {L"C:\\Out\\el1\\", L"C:\\Out\\el22\\", L"C:\\Out\\ex1\\", L"C:\\Out\\other\\"}},
      {L"*", {L"C:\\Out\\el1\\", L"C:\\Out\\el22\\", L"C:\\Out\\ex1\\", L"C:\\Out\\other\\"}},
      {L"el*", {L"C:\\Out\\el1\\", L"C:\\Out\\el22\\"}},
      {L"e?1", {L"C:\\Out\\el1\\", L"C:\\Out\\ex1\\"}},
      {L"*1", {L"C:\\Out\\el1\\", L"C:\\Out\\ex1\\"}},
      {L"EL*", {}},
      {L"other", {L"C:\\Out\\other\\"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    DgnFolderMonikerListPtr list = folder->GetSubFolders(c.filter);
    ASSERT_TRUE(list.IsValid());
    EXPECT_EQ(Names(list), c.names);
  }
}

TEST_F(DgnFolderTest, EmptyFolderGivesAnEmptyList) {
  MakeFolder("Empty");
  StatusInt status;
  DgnFolderPtr folder = Open(L"C:\\Empty", &status);
  ASSERT_TRUE(folder.IsValid());
  DgnFolderMonikerListPtr list = folder->GetSubFolders(nullptr);
  ASSERT_TRUE(list.IsValid());
  EXPECT_TRUE(list->empty());
}

TEST_F(DgnFolderTest, FolderThatCannotBeListedGivesNull) {
  MakeFolder("Out/a");
  StatusInt status;
  DgnFolderPtr folder = Open(L"C:\\Out", &status);
  ASSERT_TRUE(folder.IsValid());
  host::testing::FaultInjectingFileSystem failing;
  failing.FailOp(host::testing::FileOp::ListSubdirectories);
  host::ScopedFileSystem installed(failing);
  EXPECT_TRUE(folder->GetSubFolders(nullptr).IsNull());
}

TEST_F(DgnFolderTest, FolderRemovedAfterOpeningGivesNull) {
  MakeFolder("Out");
  StatusInt status;
  DgnFolderPtr folder = Open(L"C:\\Out", &status);
  ASSERT_TRUE(folder.IsValid());
  fs::remove(fs::path(drive_.LocalFolder()) / "Out");
  EXPECT_TRUE(folder->GetSubFolders(nullptr).IsNull());
}

}  // namespace
