#include "records/base.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "standin/files/file_system.h"
#include "testing/fault_file_system.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;

// Drive C in a folder of its own, the folder C:\Temp\rec made, and a session that captures
// the message window.
class RecordFileTest : public ::testing::Test {
 protected:
  RecordFileTest() : m_session(host::seed::EmptyDesign()) { fs::create_directories(Local("rec")); }

  // The local name of C:\Temp\<relative>, relative given in UTF-8 with '/' separators.
  fs::path Local(const std::string& relative) const {
    return fs::path(m_driveC.LocalFolder()) / "Temp" / fs::u8path(relative);
  }

  static std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
  }

  static void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  // Writes text as the file name in folder as the export does: written, or reported.
  static RecordFileOutcome Put(const WString& folder, const char* name, std::string_view text) {
    const RecordFolder recordFolder(folder);
    const RecordFileOutcome outcome = putRecordText(recordFolder, name, text);
    if (outcome != RecordFileOutcome::Written) reportUnwrittenRecord(recordFolder, name);
    return outcome;
  }

  test_support::ScopedLocale m_locale{LC_CTYPE, "C.UTF-8"};
  host::seed::ScopedDriveC m_driveC;
  host::seed::ScopedSession m_session;
};

const std::string kRecord = "{\r\n\t\"name\" : \"Gr\xc3\xbc\xc3\x9f \\\"quoted\\\"\"\r\n}";

TEST_F(RecordFileTest, WritesTheTextReplacingEverythingTheFileHeld) {
  const struct {
    const char* name;
    std::string before;  // what the file held; none when empty
    std::string text;
  } cases[] = {
      {"a new file", "", kRecord},
      {"a longer file", std::string(10000, 'x'), "{}"},
      {"an empty text", "old", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Local("rec/attr.json"));
    if (!c.before.empty()) WriteBytes(Local("rec/attr.json"), c.before);
    EXPECT_EQ(Put(L"C:\\Temp\\rec", "attr.json", c.text), RecordFileOutcome::Written);
    EXPECT_EQ(ReadBytes(Local("rec/attr.json")), c.text);
  }
  EXPECT_TRUE(m_session.Messages().empty());
}

// Paths whose locale text is joined on the stack (up to 512 bytes) and those too long for it.
TEST_F(RecordFileTest, KeepsNonAsciiAndLongPathsWhole) {
  for (size_t length : {20, 160, 240}) {
    const std::string folder = "Z\xc3\xbcrich \xce\xa9 " + std::string(length, 'd');
    const std::string inner[] = {std::string(length, 'e'), std::string(length, 'f')};
    fs::create_directories(Local(folder + "/" + inner[0] + "/" + inner[1]));
    const WString path = L"C:\\Temp\\" + BeStringUtilities::Utf8ToWChar(
                                             (folder + "\\" + inner[0] + "\\" + inner[1]).c_str());
    EXPECT_EQ(Put(path, "geo.json", kRecord), RecordFileOutcome::Written) << length;
    EXPECT_EQ(ReadBytes(Local(folder + "/" + inner[0] + "/" + inner[1] + "/geo.json")), kRecord)
        << length;
  }
  EXPECT_TRUE(m_session.Messages().empty());
}

// --- Write failures through the host's file system.

enum class Fault { Open, HalfWrite, Close };

void inject(Fault fault, host::testing::FaultInjectingFileSystem* files) {
  using host::testing::FileOp;
  if (fault == Fault::Open) files->FailOp(FileOp::NewWritableFile);
  if (fault == Fault::HalfWrite) files->ShortWrites();
  if (fault == Fault::Close) files->FailOp(FileOp::Close);
}

TEST_F(RecordFileTest, AFileThatCantBeWrittenWholeIsReportedAndLeftOut) {
  const struct {
    Fault fault;
    RecordFileOutcome outcome;
  } cases[] = {{Fault::Open, RecordFileOutcome::NotOpened},
               {Fault::HalfWrite, RecordFileOutcome::CutShort},
               {Fault::Close, RecordFileOutcome::CutShort}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    host::testing::FaultInjectingFileSystem faulty;
    inject(c.fault, &faulty);
    {
      host::ScopedFileSystem installed(faulty);
      EXPECT_EQ(Put(L"C:\\Temp\\rec", "geo.json", kRecord), c.outcome);
    }
    EXPECT_FALSE(fs::exists(Local("rec/geo.json")));
    EXPECT_EQ(m_session.TakeMessages(),
              std::vector<std::string>{"Can't write file C:\\Temp\\rec\\geo.json"});
  }
}

TEST_F(RecordFileTest, AFileInAMissingFolderIsReported) {
  EXPECT_EQ(Put(L"C:\\Temp\\missing", "geo.json", kRecord), RecordFileOutcome::NotOpened);
  EXPECT_FALSE(fs::exists(Local("missing")));
  EXPECT_EQ(m_session.TakeMessages(),
            std::vector<std::string>{"Can't write file C:\\Temp\\missing\\geo.json"});
}

}  // namespace
