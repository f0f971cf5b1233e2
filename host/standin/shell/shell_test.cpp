#include "standin/shell/shell.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>

#include "standin/design/design_loader.h"
#include "standin/files/file_system.h"
#include "standin/files/paths.h"
#include "standin/files/system.h"
#include "testing/test_support.h"

namespace host {
namespace {

using test_support::Lines;
using test_support::ProcessResult;
using test_support::TempFolder;

const char* kRangeLine1 = "range1= (0.00, 0.00, 0.00,)~(1000.00, 2000.00, 0.00,)";
const char* kRangeLine2 = "range2= (0.00, 0.00, 0.00,)~(1000.00, 2000.00, 0.00,)";

// A design whose active model holds element 10768 from (0,0,0) to (1000,2000,0).
std::string siteDesign(const std::string& attachments = "[]") {
  return R"({
  // element 10768 is the one the range report looks at
  "models": [ { "name": "Default", "uorPerMeter": 10000, "attachments": )" +
         attachments + R"(,
    "elements": [ { "id": 10768, "type": "mesh",
                    "points": [[0,0,0],[1000,0,0],[1000,2000,0]], "faces": [[1,2,3]] } ] } ]
})";
}

// Runs the shell on a design written into a temporary folder, with drive C inside it.
class ShellRun : public ::testing::Test {
 protected:
  std::string Design(const std::string& text, const std::string& name = "Site.dgn") {
    return m_folder.WriteFile(name, text);
  }
  ProcessResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--drive-c", m_folder.Path() + "/drive_c"});
    return test_support::RunShell(args, {}, input);
  }
  TempFolder m_folder;
};

TEST_F(ShellRun, RangeKeyinPrintsExactlyTwoLines) {
  ProcessResult result =
      Run({"--app", test_support::AppPath(), Design(siteDesign()), "tolvane range"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(Lines(result.out), (std::vector<std::string>{kRangeLine1, kRangeLine2}));
  EXPECT_NE(result.err.find(m_folder.Path() + "/drive_c"), std::string::npos)
      << "a note names drive C's folder: " << result.err;
}

TEST_F(ShellRun, RangeKeyinOnTheSampleDesign) {
  std::string sample = test_support::SourceDir() + "/samples/Site.dgn";
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "no sample design " << sample;
  ProcessResult result = Run({sample, "tolvane range"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  EXPECT_EQ(lines[0].rfind("range1= (", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("range2= (", 0), 0u) << lines[1];
}

TEST_F(ShellRun, LoadsTheApplicationBesideTheShellByDefault) {
  ProcessResult result = Run({Design(siteDesign()), "TOLVANE  RANGE  ignored text"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(Lines(result.out), (std::vector<std::string>{kRangeLine1, kRangeLine2}));
}

TEST_F(ShellRun, EachCommandNumberReachesItsHandler) {
  ProcessResult result = Run({Design(siteDesign()), "tolvane import C:\\Temp\\No Such Folder",
                              "tolvane export", "tolvane range"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::string> lines = Lines(result.out);
  ASSERT_GE(lines.size(), 3u) << result.out;
  EXPECT_EQ(lines.front(), "Can't find provided folder");
  EXPECT_EQ(lines[lines.size() - 3].rfind("Output to C:\\Temp\\Site", 0), 0u) << result.out;
  EXPECT_EQ(lines[lines.size() - 2], kRangeLine1);
}

TEST_F(ShellRun, ReadsKeyinsFromStandardInputUntilExit) {
  ProcessResult result =
      Run({Design(siteDesign())}, "\ntolvane range\r\n  \nEXIT\ntolvane range\n");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(Lines(result.out), (std::vector<std::string>{kRangeLine1, kRangeLine2}));
  EXPECT_EQ(result.err.find("tolvane>"), std::string::npos) << "no prompt without a terminal";

  ProcessResult toEnd = Run({Design(siteDesign())}, "tolvane range\ntolvane range");
  EXPECT_EQ(toEnd.exitCode, 0) << toEnd.err;
  EXPECT_EQ(Lines(toEnd.out).size(), 4u);
}

TEST_F(ShellRun, AnUnknownKeyinIsReportedAndTheRestStillRuns) {
  for (std::string unknown : {"tolvane exportx", "bogus", "tolvane"}) {
    SCOPED_TRACE(unknown);
    ProcessResult result = Run({Design(siteDesign()), unknown, "tolvane range"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(unknown), std::string::npos) << result.err;
    EXPECT_EQ(Lines(result.out), (std::vector<std::string>{kRangeLine1, kRangeLine2}));
  }
  ProcessResult fromInput = Run({Design(siteDesign())}, "nothing here\ntolvane range\n");
  EXPECT_EQ(fromInput.exitCode, 1);
  EXPECT_EQ(Lines(fromInput.out).size(), 2u);
}

TEST_F(ShellRun, MissingReferencesGetANoteAndTheDesignStillOpens) {
  ProcessResult result =
      Run({Design(siteDesign(R"([ { "file": "Walls.dgn" } ])")), "tolvane range"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.err.find("Walls.dgn"), std::string::npos) << result.err;
  EXPECT_EQ(Lines(result.out).size(), 2u);
}

// A relative attachment is the neighbour of the attaching file on the local disk, whatever
// the bytes of its folder's name: a backslash inside a name is no separator, and a name that
// isn't UTF-8 is no reason for the attachment to be missing. A decoy where the backslash
// would lead (a file that isn't a design) shows which file was attached.
TEST_F(ShellRun, RelativeAttachmentsAreTheNeighboursOfTheAttachingFile) {
  for (const char* folder : {"odd\\dir", "caf\xe9 \xff"}) {
    SCOPED_TRACE(folder);
    const std::filesystem::path local = m_folder.Path() + "/" + folder;
    std::filesystem::create_directories(local);
    std::filesystem::create_directories(m_folder.Path() + "/odd/dir");
    std::ofstream(m_folder.Path() + "/odd/dir/Walls.dgn") << "not a design";
    std::ofstream(local / "Walls.dgn") << siteDesign();
    std::ofstream(local / "Site.dgn") << siteDesign(R"([ { "file": "Walls.dgn" },
                                                       { "file": ".\\sub\\..\\Walls.dgn" } ])");
    ProcessResult result = Run({(local / "Site.dgn").string(), "tolvane range"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err.find("is missing"), std::string::npos) << result.err;
    EXPECT_EQ(Lines(result.out), (std::vector<std::string>{kRangeLine1, kRangeLine2}));
  }
}

// Every file under folder with its contents, to compare trees whole.
std::map<std::string, std::string> TreeOf(const std::filesystem::path& folder) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_directory()) {
      tree[entry.path().lexically_relative(folder).string() + "/"];
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    tree[entry.path().lexically_relative(folder).string()] =
        std::string(std::istreambuf_iterator<char>(in), {});
  }
  return tree;
}

// While one export holds the main output folder's lock, a second export into it is refused at
// once and leaves the first one's tree whole; once the lock is let go, exports go on as before.
TEST_F(ShellRun, AnExportIntoAFolderThatAnotherExportHoldsIsRefused) {
  const std::string design = Design(siteDesign());
  ASSERT_EQ(Run({design, "tolvane export"}).exitCode, 0);
  const std::string temp = m_folder.Path() + "/drive_c/Temp";
  const auto before = TreeOf(temp + "/Site");
  ASSERT_FALSE(before.empty());
  {
    std::unique_ptr<FileLock> held;
    ASSERT_TRUE(CurrentFileSystem().LockFile(temp + "/Site.lock", &held).ok());
    ProcessResult refused = Run({design, "tolvane export"});
    EXPECT_EQ(refused.exitCode, 0) << refused.err;
    EXPECT_EQ(Lines(refused.out),
              std::vector<std::string>{"Output folder C:\\Temp\\Site is in use by another "
                                       "export: this export is stopped"});
    EXPECT_EQ(TreeOf(temp + "/Site"), before);
  }
  ProcessResult again = Run({design, "tolvane export"});
  EXPECT_EQ(Lines(again.out), std::vector<std::string>{"Output to C:\\Temp\\Site"});
  EXPECT_EQ(TreeOf(temp + "/Site"), before);
}

// Writing the records inline, on the export's own thread, gives the same tree byte for byte
// as writing them behind.
TEST_F(ShellRun, AnExportWrittenInlineLeavesTheSameTree) {
  const std::string sample = test_support::SourceDir() + "/samples/Site.dgn";
  std::map<std::string, std::string> trees[2];
  for (int inlined = 0; inlined < 2; ++inlined) {
    const std::string driveC = m_folder.Path() + "/c" + std::to_string(inlined);
    ProcessResult result = test_support::RunShell({"--drive-c", driveC, sample, "tolvane export"},
                                                  {{"TOLVANE_WRITE_INLINE", inlined ? "1" : "0"}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    trees[inlined] = TreeOf(driveC + "/Temp/Site");
  }
  EXPECT_GT(trees[0].size(), 10u);
  EXPECT_EQ(trees[1], trees[0]);
}

#ifndef _WIN32  // POSIX only: /dev/zero and a FIFO
// A device or a pipe is never read: as an attachment it is a missing file at once (today's
// /dev/zero would grow the shell without bound), as the design it stops the shell at once.
TEST_F(ShellRun, DevicesAndPipesAreRefusedAtOnce) {
  ProcessResult attached =
      Run({Design(siteDesign(R"([ { "file": "/dev/zero" } ])")), "tolvane range"});
  EXPECT_EQ(attached.exitCode, 0) << attached.err;
  EXPECT_NE(attached.err.find("/dev/zero: can't read the file (is a device or pipe, not a regular "
                              "file)"),
            std::string::npos)
      << attached.err;
  EXPECT_EQ(Lines(attached.out).size(), 2u);

  const std::string fifo = m_folder.Path() + "/Pipe.dgn";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  ProcessResult piped = Run({fifo, "tolvane range"});
  EXPECT_EQ(piped.exitCode, 2);
  EXPECT_NE(piped.err.find("is a device or pipe, not a regular file"), std::string::npos)
      << piped.err;
}
#endif  // _WIN32

// The stderr lines that aren't prompts.
void expectOneMessageNaming(const ProcessResult& result, const std::vector<std::string>& parts) {
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "") << "nothing runs";
  std::vector<std::string> lines = Lines(result.err);
  ASSERT_EQ(lines.size(), 1u) << result.err;
  for (const auto& part : parts) EXPECT_NE(lines[0].find(part), std::string::npos) << lines[0];
}

TEST_F(ShellRun, BadDesignsStopBeforeAnythingRuns) {
  struct Case {
    const char* name;
    std::string text;
    std::string place;
  };
  const std::string mesh = R"("type": "mesh", "points": [[0,0,0],[1,0,0],[1,1,0]])";
  const Case cases[] = {
      {"bad JSON", "{ \"models\": [ { \"name\": \"Default\" }\n  oops ]", "line 2"},
      {"missing member", R"({ "models": [ { "elements": [] } ] })", "models[0]"},
      {"duplicate id",
       R"({ "models": [ { "name": "M", "elements": [ { "id": 5, )" + mesh +
           R"(, "faces": [[1,2,3]] }, { "id": 5, )" + mesh + R"(, "faces": [[1,2,3]] } ] } ] })",
       "models[0].elements[1]"},
      {"face index naming no point",
       R"({ "models": [ { "name": "M", "elements": [ { )" + mesh +
           R"(, "faces": [[1,2,7]] } ] } ] })",
       "models[0].elements[0].faces[0][2]"},
      {"unknown class",
       R"({ "models": [ { "name": "M", "elements": [ { )" + mesh +
           R"(, "faces": [[1,2,3]], "instances": [ { "class": "Door" } ] } ] } ] })",
       "models[0].elements[0].instances[0]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = Design(c.text, "Bad.dgn");
    expectOneMessageNaming(Run({path, "tolvane range"}), {"Bad.dgn", c.place});
  }
}

TEST_F(ShellRun, AMissingDesignOrApplicationStopsBeforeAnythingRuns) {
  expectOneMessageNaming(Run({m_folder.Path() + "/Nowhere.dgn", "tolvane range"}), {"Nowhere.dgn"});
  std::string design = Design(siteDesign());
  expectOneMessageNaming(Run({"--app", m_folder.Path() + "/none.so", design, "tolvane range"}),
                         {"none.so"});
  // A library without the entry point: the host library itself is one.
  const std::string hostName = std::string("libtolvane_host") + kSharedLibrarySuffix;
  std::string hostLibrary = LocalFolderOf(test_support::ShellPath()) + "/" + hostName;
  expectOneMessageNaming(Run({"--app", hostLibrary, design, "tolvane range"}),
                         {hostName, "MdlMain"});
}

TEST_F(ShellRun, SaveWritesTheDesignBackOnlyWhenTheModelChanged) {
  std::string design = Design(siteDesign());
  // Each read closes the file again: Windows won't replace a file that another program holds.
  auto contents = [&] {
    std::ifstream file(design, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
  };
  const std::string original = contents();

  ProcessResult unchanged = Run({"--save", design, "tolvane range"});
  EXPECT_EQ(unchanged.exitCode, 0) << unchanged.err;
  EXPECT_EQ(contents(), original);

  m_folder.WriteFile("drive_c/Temp/In/e1/geo.json",
                     R"({"colors": [1, 0, 0, 1], "positions": [0, 0, 0, 100, 0, 0, 100, 100, 0],)"
                     R"( "indices": [0, 1, 2]})");
  ProcessResult changed = Run({"--save", design, "tolvane import C:\\Temp\\In"});
  EXPECT_EQ(changed.exitCode, 0) << changed.err;
  std::string error;
  auto saved = LoadDesignFile(design, &error);
  ASSERT_NE(saved, nullptr) << error;
  ASSERT_EQ(saved->ActiveModel()->elements.size(), 2u);
  EXPECT_EQ(saved->ActiveModel()->elements[0]->id, 10768u);
  EXPECT_EQ(saved->ActiveModel()->elements[1]->type, ElementType::Mesh);
}

// After any import the saved design loads again: a coordinate that a design can't hold is
// refused, and past the highest id the lowest free one is given. A sub-folder name with a line
// break stays on its message's one line.
TEST_F(ShellRun, ImportThenSaveLoadsAgainAndEachMessageIsOneLine) {
  std::string design = Design(R"({ "models": [ { "name": "Default", "uorPerMeter": 10000,
    "elements": [ { "id": 18446744073709551615, "type": "line", "points": [[0,0,0],[1,0,0]] },
                  { "id": 2, "type": "line", "points": [[0,0,0],[1,0,0]] } ] } ] })");
  const std::string rest = R"(, 0, 0, 100, 0, 0, 100, 100, 0], "indices": [0, 1, 2]})";
  m_folder.WriteFile("drive_c/Temp/In/a/geo.json", R"({"positions": [0)" + rest);
  m_folder.WriteFile("drive_c/Temp/In/b/geo.json", R"({"positions": [1e18)" + rest);
  m_folder.WriteFile("drive_c/Temp/In/c/geo.json", R"({"positions": [0)" + rest);
  std::vector<std::string> expected = {"Invalid geometry in Json file C:\\Temp\\In\\b\\geo.json"};
  if (!kLocalPathsHaveDrives) {  // Windows refuses a line break in a name
    std::filesystem::create_directories(m_folder.Path() + "/drive_c/Temp/In/d\nOutput to Forged");
    expected.push_back("File C:\\Temp\\In\\d\\x0AOutput to Forged\\geo.json doesn't exist");
  }
  ProcessResult result = Run({"--save", design, "tolvane import C:\\Temp\\In"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(Lines(result.out), expected);
  std::string error;
  auto saved = LoadDesignFile(design, &error);
  ASSERT_NE(saved, nullptr) << error;
  std::vector<uint64_t> ids;
  for (const auto& element : saved->ActiveModel()->elements) ids.push_back(element->id);
  EXPECT_EQ(ids, (std::vector<uint64_t>{18446744073709551615u, 2, 1, 3}));
}

TEST_F(ShellRun, KeyinTextIsUtf8WhenTheEnvironmentNamesTheCLocale) {
  m_folder.WriteFile("drive_c/Temp/Caf\xC3\xA9/e1/geo.json",
                     R"({"colors": [0, 0, 1, 1], "positions": [0, 0, 0, 1, 0, 0, 1, 1, 0],)"
                     R"( "indices": [0, 1, 2]})");
  std::string design = Design(siteDesign());
  std::vector<std::string> args = {"--drive-c", m_folder.Path() + "/drive_c", "--save", design,
                                   "tolvane import C:\\Temp\\Caf\xC3\xA9"};
  ProcessResult result = test_support::RunShell(args, {{"LC_ALL", "C"}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "") << "the folder was found";
  std::string error;
  auto saved = LoadDesignFile(design, &error);
  ASSERT_NE(saved, nullptr) << error;
  EXPECT_EQ(saved->ActiveModel()->elements.size(), 2u);
}

TEST(RunShell, UsageErrorsExitWithTwoAndTheUsage) {
  const std::vector<std::vector<const char*>> cases = {
      {"tolvane-host"},
      {"tolvane-host", "--app"},
      {"tolvane-host", "--drive-c"},
      {"tolvane-host", "--bogus", "Site.dgn"},
      {"tolvane-host", "--save"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.size() > 1 ? args[1] : "(none)");
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(RunShell(static_cast<int>(args.size()), args.data(), in, out, err, false),
              kShellNotLoadable);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("usage: tolvane-host"), std::string::npos) << err.str();
  }
}

#ifndef _WIN32  // reads the library with nm; a DLL exports only what is marked
TEST(ApplicationLibrary, ExportsMdlMainAndNothingElse) {
  FILE* pipe =
      popen(("nm -D --defined-only '" + test_support::AppPath() + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string listing;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) listing += buffer;
  int status = pclose(pipe);
  if (status != 0 && listing.empty()) GTEST_SKIP() << "nm is not available";
  std::vector<std::string> names;
  for (const auto& line : Lines(listing)) names.push_back(line.substr(line.rfind(' ') + 1));
  EXPECT_EQ(names, std::vector<std::string>{"MdlMain"}) << listing;
}
#endif  // _WIN32

}  // namespace
}  // namespace host
