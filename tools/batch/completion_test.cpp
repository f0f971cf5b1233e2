#include "tools/batch/completion.h"

#include <gtest/gtest.h>

#include "testing/test_support.h"
#include "tools/batch/text_files.h"

namespace {

namespace fs = std::filesystem;
using batch::ChildExit;

TEST(CompletionTest, ExportIsWholeOnlyWhenTheShellAndTheMessagesSaySo) {
  const std::vector<std::string> placed = {"Output to C:\\Temp\\Site"};
  const struct {
    const char* name;
    ChildExit exit;
    std::vector<std::string> messages;
    std::vector<std::string> notes;
    std::string reason;
  } cases[] = {
      {"done", {false, 0}, placed, {"tolvane-host: drive C: is /x"}, ""},
      {"a record not written",
       {false, 0},
       {"Can't write file C:\\Temp\\Site\\a\\geo.json", "Output to C:\\Temp\\Site"},
       {},
       "Can't write file C:\\Temp\\Site\\a\\geo.json"},
      {"design not loadable",
       {false, 2},
       {},
       {"tolvane-host: /d/Bad.dgn: line 2, column 1: bad JSON"},
       "/d/Bad.dgn: line 2, column 1: bad JSON (tolvane-host exited with status 2)"},
      {"folder held by another",
       {false, 0},
       {"Output folder C:\\Temp\\Site is in use by another export: this export is stopped"},
       {},
       "Output folder C:\\Temp\\Site is in use by another export: this export is stopped"},
      {"crashed after the message", {true, 11}, placed, {}, "tolvane-host was ended by signal 11"},
      {"status without a word", {false, 3}, placed, {}, "tolvane-host exited with status 3"},
      {"silent", {false, 0}, {}, {}, "the export said nowhere where its output went"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(batch::JudgeExport(test.exit, test.messages, test.notes), test.reason);
  }
}

TEST(CompletionTest, OutputFolderIsFoundOnlyOnDriveC) {
  const struct {
    std::string message;
    fs::path folder;
  } cases[] = {
      {"Output to C:\\Temp\\Site", "/r/drive_c/Temp/Site"},
      {"Output to C:\\Temp\\My Site 2", "/r/drive_c/Temp/My Site 2"},
      {"Output to Z:\\tmp\\Site", ""},
      {"Output to C:\\Temp\\..\\..\\etc", ""},
      {"Exported", ""},
  };
  for (const auto& test : cases)
    EXPECT_EQ(batch::OutputFolderOf({test.message}, "/r/drive_c"), test.folder) << test.message;
}

// The digest is the one that sha256sum gives for the tree, so a user can check a record
// without this tool; the same bytes in another place give the same digest, and a changed
// byte or name another one.
TEST(CompletionTest, TreeDigestIsSha256sumsListingAndFollowsEveryByte) {
  test_support::TempFolder temp;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Site - Default - 1/geo.json", "{}"},
      {"Site - Default - 1/attr.json", "a"},
      {"Site - Default - 10/geo.json", "b\r\n"},
      {"Site - Default - 2/geo.json", "\xC3\xBC"},
      {"Gr\xC3\xBCn/geo.json", ""},
  };
  for (const char* copy : {"a", "b"}) {
    for (const auto& [name, text] : files) temp.WriteFile(std::string(copy) + "/" + name, text);
  }
  std::string digest, other, error;
  int64_t count = 0, elements = 0;
  ASSERT_TRUE(batch::TreeDigest(temp.Path() + "/a", &digest, &count, &elements, &error));
  EXPECT_EQ(count, 5);
  EXPECT_EQ(elements, 4);
#ifndef _WIN32  // sha256sum and find, the digest a user can make by hand
  auto listing = test_support::RunProcess(
      "/bin/sh", {"-c",
                  "cd \"$1\" && find . -type f | LC_ALL=C sort | sed 's|^\\./||' | "
                  "xargs -d '\\n' sha256sum | sha256sum",
                  "sh", temp.Path() + "/a"});
  ASSERT_EQ(listing.exitCode, 0) << listing.err;
  EXPECT_EQ(listing.out.substr(0, 64), digest);
#endif

  ASSERT_TRUE(batch::TreeDigest(temp.Path() + "/b", &other, &count, &elements, &error));
  EXPECT_EQ(other, digest);
  temp.WriteFile("b/Site - Default - 1/attr.json", "b");
  ASSERT_TRUE(batch::TreeDigest(temp.Path() + "/b", &other, &count, &elements, &error));
  EXPECT_NE(other, digest);
  fs::rename(temp.Path() + "/a/Site - Default - 2", temp.Path() + "/a/Site - Default - 3");
  ASSERT_TRUE(batch::TreeDigest(temp.Path() + "/a", &other, &count, &elements, &error));
  EXPECT_NE(other, digest);
}

// A completion record counts for the design it names only: after the list is planned anew,
// index 1 may be another design, whose record it is not.
TEST(CompletionTest, RecordsCountOnlyForTheirOwnDesign) {
  test_support::TempFolder temp;
  batch::Entry entry{1, 1, "/d/Site.dgn", "designs/000001", ""};
  batch::Entry other{1, 1, "/d/Other.dgn", "designs/000001", ""};
  std::string reason, error;
  EXPECT_EQ(batch::StateOf(temp.Path(), entry, &reason), batch::DesignState::Missing);

  batch::Outcome failed;
  failed.reason = "it broke";
  ASSERT_TRUE(batch::WriteOutcome(temp.Path(), entry, failed, &error)) << error;
  EXPECT_EQ(batch::StateOf(temp.Path(), entry, &reason), batch::DesignState::Failed);
  EXPECT_EQ(reason, "it broke");

  batch::Outcome done;
  done.done = true;
  done.digest = "00";
  ASSERT_TRUE(batch::WriteOutcome(temp.Path(), entry, done, &error)) << error;
  EXPECT_EQ(batch::StateOf(temp.Path(), entry, &reason), batch::DesignState::Done);
  EXPECT_EQ(batch::StateOf(temp.Path(), other, &reason), batch::DesignState::Missing);

  temp.WriteFile("done.json", "{\"index\": 1, \"design\": \"/d/Site.dgn\", \"dig");
  EXPECT_NE(batch::StateOf(temp.Path(), entry, &reason), batch::DesignState::Done);
}

}  // namespace
