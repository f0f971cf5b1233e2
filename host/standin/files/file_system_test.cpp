#include "standin/files/file_system.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <memory>

#include <random>
#include <string>
#include <vector>

#include "standin/files/system.h"
#include "testing/memory_file_system.h"
#include "testing/test_support.h"

namespace host {
namespace {

// One step of a random script over a small tree of names, applied alike to the local disk and
// to the in-memory file system.
struct Outcome {
  int code;
  std::string result;
  bool operator==(const Outcome&) const = default;
};

Outcome apply(FileSystem& files, const std::string& root, int op, const std::string& a,
              const std::string& b) {
  const std::string pa = root + a, pb = root + b;
  switch (op) {
    case 0:
      return {files.CreateDirectory(pa).code(), ""};
    case 1:
      return {files.RemoveTree(pa).code(), ""};
    case 2: {
      FileInfo info;
      FileStatus status = files.Stat(pa, &info);
      return {status.code(),
              status.ok() ? std::to_string(int(info.kind)) + ":" + std::to_string(info.size) : ""};
    }
    case 3: {
      std::vector<std::string> names;
      FileStatus status = files.ListSubdirectories(pa, &names);
      std::sort(names.begin(), names.end());
      std::string joined;
      for (const auto& name : names) joined += name + ",";
      return {status.code(), joined};
    }
    case 4: {
      std::unique_ptr<WritableFile> file;
      FileStatus status = files.NewWritableFile(pa, &file);
      if (status.ok()) status = file->Append(b);
      if (status.ok()) status = file->Close();
      return {status.code(), ""};
    }
    case 5: {
      std::string contents;
      FileStatus status = files.ReadFile(pa, &contents, 4);
      return {status.code(), contents};
    }
    case 6:
      return {files.RemoveFile(pa).code(), ""};
    case 7:
      return {files.RenameFile(pa, pb).code(), ""};
    default:
      return {files.Exists(pa).code(), ""};
  }
}

// The in-memory file system is a faithful stand-in for the disk: random scripts of operations
// give the same error codes and the same results on both.
bool isFolder(FileSystem& files, const std::string& path) {
  FileInfo info;
  return files.Stat(path, &info).ok() && info.kind == FileKind::Directory;
}

TEST(FileSystemTest, MemoryFileSystemAnswersAsTheDiskDoes) {
  const std::vector<std::string> names = {"/a", "/b", "/a/c", "/a/d", "/b/c", "/a/c/e"};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    test_support::TempFolder disk;
    testing::MemoryFileSystem memory;
    memory.AddDirectory("/root");
    std::mt19937 random(seed);
    for (int step = 0; step < 60; ++step) {
      const int op = int(random() % 9);
      const std::string a = names[random() % names.size()];
      const std::string b =
          op == 7 ? names[random() % names.size()] : std::string(random() % 7, 'x');
      if (kLocalPathsHaveDrives && op == 7 &&
          (isFolder(memory, "/root" + a) || isFolder(memory, "/root" + b)))
        continue;  // Windows renames folders by rules of its own; the contract is for files
      const Outcome onDisk = apply(LocalFileSystem(), disk.Path(), op, a, b);
      const Outcome inMemory = apply(memory, "/root", op, a, b);
      ASSERT_EQ(onDisk, inMemory) << "seed " << seed << " step " << step << " op " << op << " " << a
                                  << " " << b << ": disk " << onDisk.code << " '" << onDisk.result
                                  << "', memory " << inMemory.code << " '" << inMemory.result
                                  << "'\n"
                                  << ::testing::PrintToString(memory.Paths());
    }
  }
}

// POSIX only: a FIFO, /dev/zero and /dev/full have no like on Windows.
#ifndef _WIN32
// Only regular files are read, and never past the limit: a pipe with no writer, a device
// that never ends and a folder are refused at once with a reason.
TEST(FileSystemTest, ReadsOnlyRegularFilesWithinTheLimit) {
  test_support::TempFolder folder;
  const std::string fifo = folder.Path() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  const std::string big = folder.WriteFile("big", std::string(100, 'x'));
  struct Case {
    std::string path;
    uint64_t limit;
    std::string reason;
  };
  const Case cases[] = {
      {fifo, kMaxReadBytes, "is a device or pipe, not a regular file"},
      {"/dev/zero", kMaxReadBytes, "is a device or pipe, not a regular file"},
      {folder.Path(), kMaxReadBytes, "is a folder, not a file"},
      {big, 99, "is larger than 99 bytes"},
      {folder.Path() + "/absent", kMaxReadBytes, "No such file or directory"},
  };
  for (const Case& c : cases) {
    std::string contents = "stale";
    FileStatus status = LocalFileSystem().ReadFile(c.path, &contents, c.limit);
    EXPECT_FALSE(status.ok()) << c.path;
    EXPECT_EQ(status.reason(), c.reason) << c.path;
    EXPECT_EQ(status.message().find(c.path), 5u) << status.message();
    EXPECT_TRUE(contents.empty()) << c.path;
  }
  std::string contents;
  EXPECT_TRUE(LocalFileSystem().ReadFile(big, &contents, 100).ok());
  EXPECT_EQ(contents.size(), 100u);
}

// A written file keeps its path for the messages of its failures: paths of every length
// (short ones and ones far longer than a string keeps inline), in blocks used again after
// files shorter and longer, are named in full, also by a file still open while later ones
// come and go. Writes to a link to /dev/full fail with ENOSPC; the same names as plain files
// take the bytes.
TEST(FileSystemTest, WritableFilesNameTheirWholePathWhenTheyFail) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no writable /dev/full here";
  test_support::TempFolder folder;
  std::unique_ptr<WritableFile> earlier;  // a failing file of the round before, still open
  std::string earlierPath;
  for (size_t length : {1u, 7u, 15u, 16u, 40u, 200u, 240u, 3u, 220u}) {
    const std::string name =
        std::string(length - 1, 'n') + "\xc3\xa9";  // ends in a two-byte letter
    const std::string full = folder.Path() + "/" + name;
    SCOPED_TRACE(full);
    ASSERT_EQ(::symlink("/dev/full", (full + ".full").c_str()), 0);
    std::unique_ptr<WritableFile> file;
    ASSERT_TRUE(LocalFileSystem().NewWritableFile(full + ".full", &file).ok());
    const FileStatus failed = file->Append("bytes");
    EXPECT_EQ(failed.code(), ENOSPC);
    EXPECT_EQ(failed.message(), "write " + full + ".full: " + std::strerror(ENOSPC));
    EXPECT_TRUE(file->Close().ok());

    ASSERT_TRUE(LocalFileSystem().NewWritableFile(full, &file).ok());
    EXPECT_TRUE(file->Append(name).ok());
    EXPECT_TRUE(file->Close().ok());
    file.reset();
    std::string contents;
    EXPECT_TRUE(LocalFileSystem().ReadFile(full, &contents).ok());
    EXPECT_EQ(contents, name);

    if (earlier) {
      EXPECT_EQ(earlier->Append("x").message(),
                "write " + earlierPath + ": " + std::strerror(ENOSPC));
    }
    earlierPath = full + ".full";
    ASSERT_TRUE(LocalFileSystem().NewWritableFile(earlierPath, &earlier).ok());
  }
}
#endif  // _WIN32

TEST(FileSystemTest, CreateDirectoriesMakesEveryMissingParentOnce) {
  testing::MemoryFileSystem memory;
  memory.AddFile("/a/file", "x");
  EXPECT_TRUE(CreateDirectories(memory, "/a/b/c/d").ok());
  EXPECT_TRUE(CreateDirectories(memory, "/a/b/c/d").ok()) << "an existing folder is success";
  EXPECT_EQ(memory.Paths(),
            (std::vector<std::string>{"/a", "/a/b", "/a/b/c", "/a/b/c/d", "/a/file"}));
  EXPECT_EQ(CreateDirectories(memory, "/a/file").code(), ENOTDIR);
  EXPECT_EQ(CreateDirectories(memory, "/a/file/x").code(), ENOTDIR);
}

// Paths far beyond Windows' old limit of 260 characters work whole, and a path beyond what
// any platform holds is refused with a message that names all of it, never cut short.
TEST(FileSystemTest, LongPathsWorkAndOnesTooLongAreNamedWhole) {
  test_support::TempFolder temp;
  FileSystem& files = LocalFileSystem();
  std::string folder = temp.Path();
  for (int depth = 0; depth < 8; ++depth) {
    folder += "/" + std::string(60, char('a' + depth));
    ASSERT_TRUE(files.CreateDirectory(folder).ok()) << folder.size();
  }
  const std::string file = folder + "/geo.json", renamed = folder + "/attr.json";
  std::unique_ptr<WritableFile> writing;
  ASSERT_TRUE(files.NewWritableFile(file, &writing).ok()) << file.size();
  ASSERT_TRUE(writing->Append("{}").ok() && writing->Close().ok());
  ASSERT_TRUE(files.RenameFile(file, renamed).ok());
  std::string contents;
  EXPECT_TRUE(files.ReadFile(renamed, &contents).ok());
  EXPECT_EQ(contents, "{}");
  EXPECT_TRUE(files.RemoveTree(temp.Path() + "/" + std::string(60, 'a')).ok());
  EXPECT_EQ(files.Exists(renamed).code(), ENOENT);

  const std::string tooLong = temp.Path() + "/" + std::string(40000, 'x');
  for (const FileStatus& status : {files.CreateDirectory(tooLong), files.Exists(tooLong)}) {
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find(tooLong + ": "), std::string::npos) << status.message();
  }
}

}  // namespace
}  // namespace host
