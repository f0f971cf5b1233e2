#include "tools/batch/manifest.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#endif

#include <sstream>

#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;

// Every line that isn't blank gets the next index, also one that names nothing usable: that
// design fails on its own later instead of stopping the plan or shifting the others' indices.
TEST(ManifestTest, EachLineGetsAnIndexAndBadOnesANote) {
#ifdef _WIN32
  GTEST_SKIP() << "one line names a FIFO, which Windows lacks";
#endif
  test_support::TempFolder temp;
  temp.WriteFile("a/Site.dgn", "{}");
  temp.WriteFile("b/Site.dgn", "{}");
#ifndef _WIN32  // the test is skipped there
  ASSERT_EQ(mkfifo((temp.Path() + "/Pipe.dgn").c_str(), 0600), 0);
#endif
  std::istringstream list(
      "a/Site.dgn\r\n"
      "\n"
      "   \n" +
      temp.Path() + "/b/Site.dgn\n" + "Missing.dgn\n" + "a\n" + "Pipe.dgn\n" + "Bad\xFF.dgn\n" +
      "./a/../b/Site.dgn");
  std::vector<std::string> notes;
  auto entries = batch::PlanEntries(list, "list.txt", temp.Path(), &notes);

  const struct {
    int line;
    std::string design;
    bool usable;
  } expected[] = {
      {1, temp.Path() + "/a/Site.dgn", true},  {4, temp.Path() + "/b/Site.dgn", true},
      {5, temp.Path() + "/Missing.dgn", true}, {6, temp.Path() + "/a", true},
      {7, temp.Path() + "/Pipe.dgn", true},    {8, "Bad\\xFF.dgn", false},
      {9, temp.Path() + "/b/Site.dgn", true},
  };
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].index, static_cast<int>(i) + 1);
    EXPECT_EQ(entries[i].line, expected[i].line);
    EXPECT_EQ(entries[i].design, expected[i].design);
    EXPECT_EQ(entries[i].problem.empty(), expected[i].usable);
  }
  // Two designs of one name never share an output folder.
  EXPECT_NE(entries[0].output, entries[1].output);
  const std::vector<std::string> expectedNotes = {
      "list.txt:5: " + temp.Path() + "/Missing.dgn: no such file",
      "list.txt:6: " + temp.Path() + "/a: is a folder, not a design file",
      "list.txt:7: " + temp.Path() +
          "/Pipe.dgn: is not a regular file (a FIFO, socket or device), not a design file",
      "list.txt:8: Bad\\xFF.dgn: not valid UTF-8",
  };
  EXPECT_EQ(notes, expectedNotes);
}

TEST(ManifestTest, WrittenManifestReadsBackAndRefusesForeignLines) {
  test_support::TempFolder temp;
  std::istringstream list("/x/Gr\xC3\xBCn \"Haus\".dgn\nBad\xFF\n");
  std::vector<std::string> notes;
  auto entries = batch::PlanEntries(list, "list", "/", &notes);
  std::string error;
  ASSERT_TRUE(batch::WriteManifest(temp.Path() + "/root", entries, &error)) << error;
  std::vector<batch::Entry> read;
  ASSERT_TRUE(batch::ReadManifest(temp.Path() + "/root", &read, &error)) << error;
  ASSERT_EQ(read.size(), 2u);
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].design, entries[i].design);
    EXPECT_EQ(read[i].output, entries[i].output);
    EXPECT_EQ(read[i].problem, entries[i].problem);
  }

  // An output folder that isn't the tool's own name could reach out of the root; a gap in the
  // indices would run the wrong design for a Slurm task.
  const struct {
    const char* text;
    const char* line;
  } broken[] = {
      {R"({"index":1,"line":1,"design":"/a","output":"../../etc"})", ":1:"},
      {R"({"index":2,"line":1,"design":"/a","output":"designs/000002"})", ":1:"},
      {"{\"index\":1,\"line\":1,\"design\":\"/a\",\"output\":\"designs/000001\"}\nnot json\n",
       ":2:"},
  };
  for (const auto& test : broken) {
    temp.WriteFile("bad/manifest.jsonl", test.text);
    EXPECT_FALSE(batch::ReadManifest(temp.Path() + "/bad", &read, &error)) << test.text;
    EXPECT_NE(error.find(std::string("manifest.jsonl") + test.line), std::string::npos) << error;
  }
  EXPECT_FALSE(batch::ReadManifest(temp.Path() + "/none", &read, &error));
  EXPECT_NE(error.find("run plan first"), std::string::npos) << error;
}

}  // namespace
