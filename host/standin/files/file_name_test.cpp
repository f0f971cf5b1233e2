#include "host/file_name.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "standin/files/file_system.h"
#include "testing/fault_file_system.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(BeFileNameTest, NameParts) {
  struct Case {
    const wchar_t* path;
    const wchar_t* stem;
    const wchar_t* nameAndExtension;
  };
  const Case cases[] = {
      {L"D:\\Projects\\Site.dgn", L"Site", L"Site.dgn"},
      {L"D:\\Projects\\Site.i.dgn", L"Site.i", L"Site.i.dgn"},
      {L"D:\\P\\.i.dgn", L".i", L".i.dgn"},
      {L"D:\\P\\..dgn", L".", L"..dgn"},
      {L"D:\\P.x\\Site", L"Site", L"Site"},
      {L"Site.dgn", L"Site", L"Site.dgn"},
      {L"D:Site.dgn", L"Site", L"Site.dgn"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BeFileName(c.path).GetFileNameWithoutExtension(), c.stem) << c.path;
    EXPECT_EQ(BeFileName(BeFileName::NameAndExt, c.path), c.nameAndExtension) << c.path;
  }
}

// Every mask keeps its parts in their order: the device, the folders, the name and the
// extension of one path, which together give the path back.
TEST(BeFileNameTest, MasksKeepTheirPartsInOrder) {
  using Parts = std::array<std::wstring, 4>;
  const std::pair<const wchar_t*, Parts> cases[] = {
      {L"D:\\Projects\\Site.i.dgn", {L"D:", L"\\Projects\\", L"Site.i", L".dgn"}},
      {L"D:Site", {L"D:", L"", L"Site", L""}},
      {L"\\P.x\\.dgn", {L"", L"\\P.x\\", L"", L".dgn"}},
      {L"C:\\a\\b\\", {L"C:", L"\\a\\b\\", L"", L""}},
      {L"", {L"", L"", L"", L""}},
  };
  const int single[] = {BeFileName::Device, BeFileName::Directory, BeFileName::Basename,
                        BeFileName::Extension};
  for (const auto& [path, parts] : cases) {
    for (int mask = 0; mask < 16; ++mask) {
      std::wstring expected;
      for (size_t i = 0; i < 4; ++i)
        if (mask & single[i]) expected += parts[i];
      EXPECT_EQ(BeFileName(mask, path), expected) << path << " mask " << mask;
    }
  }
}

TEST(BeFileNameTest, CreateNewDirectoryMakesMissingParentsButRefusesBadNames) {
  host::seed::ScopedDriveC driveC;
  EXPECT_EQ(BeFileName::CreateNewDirectory(L"C:\\Temp\\Site\\deep"), BeFileNameStatus::Success);
  EXPECT_TRUE(fs::is_directory(driveC.LocalFolder() + "/Temp/Site/deep"));
  EXPECT_EQ(BeFileName::CreateNewDirectory(L"C:\\Temp\\Site"), BeFileNameStatus::AlreadyExists);
  EXPECT_EQ(BeFileName::CreateNewDirectory(L"C:\\Temp\\a:b"), BeFileNameStatus::IllegalName);
  EXPECT_EQ(BeFileName::CreateNewDirectory(L"C:\\Temp\\x|y\\z"), BeFileNameStatus::IllegalName);
  EXPECT_FALSE(fs::exists(driveC.LocalFolder() + "/Temp/x|y"));
  EXPECT_NE(BeFileName::CreateNewDirectory(L"Q:\\Temp"), BeFileNameStatus::Success);
}

TEST(BeFileNameTest, EmptyAndRemoveDirectoryNeverFollowsALinkOut) {
  host::seed::ScopedDriveC driveC;
  const std::string root = driveC.LocalFolder();
  fs::create_directories(root + "/Temp/Site/sub");
  fs::create_directories(root + "/outside");
  std::ofstream(root + "/outside/keep.txt") << "keep";
  std::error_code made;
  fs::create_directory_symlink(root + "/outside", root + "/Temp/Site/sub/link", made);
  if (made) GTEST_SKIP() << "no symbolic links can be made here: " << made.message();
  EXPECT_EQ(BeFileName::EmptyAndRemoveDirectory(L"C:\\Temp\\Site"), BeFileNameStatus::Success);
  EXPECT_FALSE(fs::exists(root + "/Temp/Site"));
  EXPECT_TRUE(fs::exists(root + "/outside/keep.txt"));
}

TEST(BeFileTest, WritesAndReadsThroughWindowsNames) {
  host::seed::ScopedDriveC driveC;
  ASSERT_EQ(BeFileName::CreateNewDirectory(L"C:\\Temp"), BeFileNameStatus::Success);
  BeFile file;
  ASSERT_EQ(file.Create("C:\\Temp\\a.json"), BeFileStatus::Success);
  uint32_t written = 0;
  EXPECT_EQ(file.Write(&written, "abc\xff", 4), BeFileStatus::Success);
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(file.Close(), BeFileStatus::Success);
  std::string text;
  EXPECT_EQ(BeFile::ReadEntireFile(text, L"C:\\Temp\\a.json"), BeFileStatus::Success);
  EXPECT_EQ(text, "abc\xff");

  host::testing::FaultInjectingFileSystem failing;
  failing.FailOp(host::testing::FileOp::NewWritableFile);
  host::ScopedFileSystem scoped(failing);
  BeFile refused;
  EXPECT_NE(refused.Create("C:\\Temp\\b.json"), BeFileStatus::Success);
  EXPECT_NE(refused.Write(&written, "x", 1), BeFileStatus::Success);
  EXPECT_EQ(written, 0u);
}

}  // namespace
