#include "records/base.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "records/record_text.h"
#include "standin/files/file_system.h"
#include "testing/fault_file_system.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

namespace fs = std::filesystem;

// Drive C in a folder of its own, the folder C:\Temp\rec made, and a session that captures
// the message window.
class JsonFileTest : public ::testing::Test {
 protected:
  JsonFileTest() : m_session(host::seed::EmptyDesign()) { fs::create_directories(Local("rec")); }

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

  static Json::Value Read(const WString& path) {
    Json::Value document;
    readJsonFile(document, BeFileName(path));
    return document;
  }

  test_support::ScopedLocale m_locale{LC_CTYPE, "C.UTF-8"};
  host::seed::ScopedDriveC m_driveC;
  host::seed::ScopedSession m_session;
};

Json::Value sampleDocument() {
  Json::Value document;
  document["code"] = "Site.dgn - Default - 7";
  document["name"] = "Gr\xc3\xbc\xc3\x9f \"quoted\"";
  for (double value : {0.1, 1.0 / 3.0, 1e21, -0.0}) document["positions"].append(value);
  document["indices"].append(Json::UInt64(UINT64_MAX));
  document["normals"] = Json::Value(Json::arrayValue);
  return document;
}

TEST_F(JsonFileTest, WritesTheRecordTextAndReadsTheSameDocumentBack) {
  const Json::Value document = sampleDocument();
  writeJsonFile(L"C:\\Temp\\rec\\geo.json", document);
  EXPECT_EQ(ReadBytes(Local("rec/geo.json")), toRecordText(document));
  EXPECT_EQ(Read(L"C:\\Temp\\rec\\geo.json"), document);
  EXPECT_TRUE(m_session.Messages().empty());
}

TEST_F(JsonFileTest, ReplacesEverythingALongerFileHeld) {
  WriteBytes(Local("rec/attr.json"), std::string(10000, 'x'));
  writeJsonFile(L"C:\\Temp\\rec\\attr.json", Json::Value(Json::objectValue));
  EXPECT_EQ(ReadBytes(Local("rec/attr.json")), "{}");
}

TEST_F(JsonFileTest, KeepsNonAsciiAndLongPathsWhole) {
  const std::string folder = "Z\xc3\xbcrich \xce\xa9 " + std::string(120, 'd');
  const std::string nested = folder + "/" + std::string(160, 'e');
  fs::create_directories(Local(nested));
  const WString path =
      L"C:\\Temp\\" +
      BeStringUtilities::Utf8ToWChar((folder + "\\" + std::string(160, 'e')).c_str()) +
      L"\\geo.json";
  ASSERT_GT(BeStringUtilities::WCharToUtf8(path.c_str()).size(), 300u);

  writeJsonFile(path.c_str(), sampleDocument());
  EXPECT_EQ(ReadBytes(Local(nested + "/geo.json")), toRecordText(sampleDocument()));
  EXPECT_EQ(Read(path), sampleDocument());
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

TEST_F(JsonFileTest, AFileThatCantBeWrittenWholeIsReportedAndLeftOut) {
  for (Fault fault : {Fault::Open, Fault::HalfWrite, Fault::Close}) {
    SCOPED_TRACE(static_cast<int>(fault));
    host::testing::FaultInjectingFileSystem faulty;
    inject(fault, &faulty);
    {
      host::ScopedFileSystem installed(faulty);
      writeJsonFile(L"C:\\Temp\\rec\\geo.json", sampleDocument());
    }
    EXPECT_FALSE(fs::exists(Local("rec/geo.json")));
    EXPECT_EQ(m_session.TakeMessages(),
              std::vector<std::string>{"Can't write file C:\\Temp\\rec\\geo.json"});
  }
}

TEST_F(JsonFileTest, AFileInAMissingFolderIsReported) {
  writeJsonFile(L"C:\\Temp\\missing\\geo.json", sampleDocument());
  EXPECT_FALSE(fs::exists(Local("missing")));
  EXPECT_EQ(m_session.TakeMessages(),
            std::vector<std::string>{"Can't write file C:\\Temp\\missing\\geo.json"});
}

// --- Reading.

TEST_F(JsonFileTest, ReadsWhateverTheTextHolds) {
  Json::Value object;
  object["a"] = 1;
  Json::Value highByte;
  highByte["a"] = "x\xffy";
  highByte["b"] = 2;
  Json::Value zeroByte;
  zeroByte["a"] = std::string("x\0y", 3);
  zeroByte["b"] = 2;
  struct Case {
    const char* name;
    std::string text;
    Json::Value expected;
  };
  const Case cases[] = {
      {"whitespace only", " \r\n\t ", Json::Value()},
      {"comments only", "// a line\r\n/* a block */\r\n", Json::Value()},
      {"empty array", "[]", Json::Value(Json::arrayValue)},
      {"scalar", "5", Json::Value(5)},
      {"comment, then object", "// header\r\n{ \"a\" : 1 }", object},
      {"byte 0xFF inside", "{ \"a\" : \"x\xffy\", \"b\" : 2 }", highByte},
      {"zero byte inside", std::string("{ \"a\" : \"x\0y\", \"b\" : 2 }", 24), zeroByte},
      {"record text", toRecordText(sampleDocument()), sampleDocument()},
  };
  for (const Case& c : cases) {
    WriteBytes(Local("rec/geo.json"), c.text);
    const Json::Value document = Read(L"C:\\Temp\\rec\\geo.json");
    EXPECT_EQ(document, c.expected) << c.name;
    EXPECT_EQ(document.type(), c.expected.type()) << c.name;
  }
}

TEST_F(JsonFileTest, ASyntaxErrorKeepsWhatWasReadBeforeIt) {
  WriteBytes(Local("rec/geo.json"), "{ \"a\" : 1, \"b\" : tru");
  EXPECT_EQ(Read(L"C:\\Temp\\rec\\geo.json")["a"], Json::Value(1));
}

TEST_F(JsonFileTest, AMissingFileLeavesTheDocumentNull) {
  EXPECT_TRUE(Read(L"C:\\Temp\\rec\\absent.json").isNull());
  EXPECT_TRUE(m_session.Messages().empty());
}

}  // namespace
