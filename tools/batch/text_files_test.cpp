#include "tools/batch/text_files.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#endif

#include "testing/test_support.h"
#include "tools/path_text.h"

namespace {

namespace fs = std::filesystem;

TEST(BatchTextTest, Utf8IsCheckedStrictlyAndShownByteForByte) {
  const struct {
    std::string text;
    bool valid;
    std::string shown;
  } cases[] = {
      {"Site.dgn", true, "Site.dgn"},
      {"Gr\xC3\xBCn \xE2\x82\xAC \xF0\x9F\x8F\xA0", true,
       "Gr\xC3\xBCn \xE2\x82\xAC \xF0\x9F\x8F\xA0"},
      {"a\xFF"
       "b",
       false, "a\\xFFb"},
      {"\xC3", false, "\\xC3"},                             // cut short at the end
      {"\xC0\xAF", false, "\\xC0\\xAF"},                    // overlong '/'
      {"\xE0\x80\xAF", false, "\\xE0\\x80\\xAF"},           // overlong, three bytes
      {"\xED\xA0\x80", false, "\\xED\\xA0\\x80"},           // a surrogate
      {"\xF4\x90\x80\x80", false, "\\xF4\\x90\\x80\\x80"},  // above U+10FFFF
      {"\x80x", false, "\\x80x"},                           // a stray continuation byte
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.shown);
    EXPECT_EQ(batch::IsValidUtf8(test.text), test.valid);
    EXPECT_EQ(batch::Printable(test.text), test.shown);
  }
}

// A FIFO must be refused without being opened: opening one blocks until a writer comes.
TEST(BatchTextTest, OnlyRegularFilesAreDesigns) {
  test_support::TempFolder temp;
  const std::string file = temp.WriteFile("Site.dgn", "{}");
  struct Case {
    std::string path;
    std::string problem;
  };
  std::vector<Case> cases = {
      {file, ""},
      {temp.Path() + "/Missing.dgn", "no such file"},
      {temp.Path(), "is a folder, not a design file"},
  };
#ifndef _WIN32  // no FIFOs there
  const std::string fifo = temp.Path() + "/Pipe.dgn";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  cases.push_back({fifo, "is not a regular file (a FIFO, socket or device), not a design file"});
#endif
  for (const auto& test : cases)
    EXPECT_EQ(batch::DesignFileProblem(tools::TextPath(test.path)), test.problem);
}

TEST(BatchTextTest, AtomicWriteReplacesWholeAndLeavesNoTemporaryFile) {
  test_support::TempFolder temp;
  const fs::path path = fs::path(temp.Path()) / "done.json";
  std::string error, read;
  ASSERT_TRUE(batch::WriteFileAtomically(path, "old", &error)) << error;
  ASSERT_TRUE(batch::WriteFileAtomically(path, "new\n", &error)) << error;
  ASSERT_TRUE(batch::ReadFile(path, &read));
  EXPECT_EQ(read, "new\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), fs::directory_iterator()), 1);
  EXPECT_FALSE(batch::WriteFileAtomically(fs::path(temp.Path()) / "no" / "x", "x", &error));
  EXPECT_NE(error.find("no/x"), std::string::npos) << error;
}

}  // namespace
