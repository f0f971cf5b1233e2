#include "standin/shell/keyin_table.h"

#include <gtest/gtest.h>

#include "testing/test_support.h"

namespace host {
namespace {

const std::vector<KeyinEntry> kTable = {
    {{"TOLVANE", "EXPORT"}, 0x0101000000000000},       {{"TOLVANE", "IMPORT"}, 0x0102000000000000},
    {{"TOLVANE", "RANGE"}, 0x0103000000000000},        {{"TOLVANE"}, 0x0F00},
    {{"TOLVANE", "RANGE", "ALL"}, 0x0104000000000000},
};

struct MatchCase {
  const char* keyin;
  bool matches;
  uint64_t number;
  const char* argument;
};

TEST(MatchKeyin, MatchesWholeWordsWithoutRegardToCase) {
  const MatchCase cases[] = {
      {"TOLVANE EXPORT", true, 0x0101000000000000, ""},
      {"tolvane export", true, 0x0101000000000000, ""},
      {"  ToLvAnE\t  ExPoRt  ", true, 0x0101000000000000, ""},
      {"tolvane import C:\\Temp\\My Site", true, 0x0102000000000000, "C:\\Temp\\My Site"},
      {"tolvane import    C:\\Temp\\My  Site", true, 0x0102000000000000, "C:\\Temp\\My  Site"},
      {"tolvane range extra words", true, 0x0103000000000000, "extra words"},
      // The entry with the most matching words wins, whatever the table's order.
      {"tolvane range all", true, 0x0104000000000000, ""},
      {"tolvane range allx", true, 0x0103000000000000, "allx"},
      {"tolvane exportx", true, 0x0F00, "exportx"},
      {"tolvanex export", false, 0, ""},
      {"export", false, 0, ""},
      {"", false, 0, ""},
      {"   ", false, 0, ""},
      {"tolvan", false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyin);
    auto match = MatchKeyin(kTable, c.keyin);
    ASSERT_EQ(match.has_value(), c.matches);
    if (!match) continue;
    EXPECT_EQ(match->number, c.number);
    EXPECT_EQ(match->argument, c.argument);
  }
}

TEST(MatchKeyin, WithoutTheShortEntryAPartialKeyinMatchesNothing) {
  std::vector<KeyinEntry> table(kTable.begin(), kTable.begin() + 3);
  EXPECT_FALSE(MatchKeyin(table, "tolvane exportx"));
  EXPECT_FALSE(MatchKeyin(table, "tolvane"));
  EXPECT_FALSE(MatchKeyin({}, "tolvane export"));
}

TEST(ParseKeyinTable, ReadsWordsAndHexadecimalNumbers) {
  std::vector<KeyinEntry> entries;
  std::string error;
  ASSERT_TRUE(
      ParseKeyinTable("# the application's key-ins\n"
                      "tolvane export   0x0101000000000000\r\n"
                      "\n"
                      "  Tolvane Import\t0X0102000000000000  # with a comment\n"
                      "TOLVANE RANGE 103\n",
                      "app.keyins", &entries, &error))
      << error;
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].words, (std::vector<std::string>{"TOLVANE", "EXPORT"}));
  EXPECT_EQ(entries[0].number, 0x0101000000000000u);
  EXPECT_EQ(entries[1].words, (std::vector<std::string>{"TOLVANE", "IMPORT"}));
  EXPECT_EQ(entries[1].number, 0x0102000000000000u);
  EXPECT_EQ(entries[2].number, 0x103u);
}

TEST(ParseKeyinTable, ErrorsNameTheFileAndLine) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"A B 0x1\nLONELY\n", "app.keyins:2: "},
      {"A B 0x1\n\n# note\nA C 0xZZ\n", "app.keyins:4: "},
      {"A 0x10000000000000000\n", "app.keyins:1: "},
      {"A 0\n", "app.keyins:1: "},
      {"A B 1\na b 2\n", "app.keyins:2: "},
      {"0x1\n", "app.keyins:1: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<KeyinEntry> entries = {{{"KEPT"}, 1}};
    std::string error;
    EXPECT_FALSE(ParseKeyinTable(c.text, "app.keyins", &entries, &error));
    EXPECT_EQ(error.rfind(c.expected, 0), 0u) << error;
    EXPECT_EQ(entries.size(), 1u) << "a failed parse leaves the entries alone";
  }
}

TEST(LoadKeyinTable, ReadsTheFileAndReportsOneThatIsMissing) {
  test_support::TempFolder folder;
  std::string path = folder.WriteFile("app.keyins", "APP GO 0x2A\n");
  std::vector<KeyinEntry> entries;
  std::string error;
  ASSERT_TRUE(LoadKeyinTable(path, &entries, &error)) << error;
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].number, 0x2Au);

  EXPECT_FALSE(LoadKeyinTable(folder.Path() + "/none.keyins", &entries, &error));
  EXPECT_NE(error.find("none.keyins"), std::string::npos) << error;
}

TEST(KeyinTablePathFor, IsTheLibraryNameWithTheKeyinsEnding) {
  EXPECT_EQ(KeyinTablePathFor("/opt/app/tolvane.so"), "/opt/app/tolvane.keyins");
  EXPECT_EQ(KeyinTablePathFor("/opt/app.d/tolvane"), "/opt/app.d/tolvane.keyins");
  EXPECT_EQ(KeyinTablePathFor("./tolvane.so"), "./tolvane.keyins");
}

}  // namespace
}  // namespace host
