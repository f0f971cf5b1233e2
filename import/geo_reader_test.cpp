#include "import/geo_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz/geo_reader_check.h"

namespace {

namespace fs = std::filesystem;

std::string nested(int levels, const std::string& inner) {
  return std::string(static_cast<size_t>(levels), '[') + inner +
         std::string(static_cast<size_t>(levels), ']');
}

std::string nestedObjects(int levels, const std::string& inner) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += R"({"a":)";
  return text + inner + std::string(static_cast<size_t>(levels), '}');
}

// How Json::Reader judges texts at the edges of its grammar; the fast reader must agree on
// each, and read the same record from those it accepts.
TEST(GeoReaderTest, JudgesEveryTextAsJsonReaderDoes) {
  struct Case {
    std::string text;
    GeoParse expected;
  };
  const Case cases[] = {
      {"", GeoParse::Refused},
      {"   ", GeoParse::Refused},
      {std::string("\0{}", 3), GeoParse::Refused},  // a zero byte ends the stream
      {"{} trailing garbage", GeoParse::Parsed},    // nothing after the root is judged
      {"42abc", GeoParse::Parsed},
      {"--1", GeoParse::Parsed},  // "-" alone reads as 0
      {"[-]", GeoParse::Parsed},
      {"[1x]", GeoParse::Refused},
      {"[1,]", GeoParse::Refused},
      {"[/**/]", GeoParse::Refused},  // only spaces may stand in an empty array
      {"[1 /**/ ]", GeoParse::Parsed},
      {R"({"":1,})", GeoParse::Parsed},  // a trailing comma after an empty name
      {R"({"a":1,})", GeoParse::Refused},
      {R"({"a":1 /**/ "b" "c":2})", GeoParse::Parsed},  // after a comment any token is a comma
      {R"({"a":1 /**/ x "c":2})", GeoParse::Parsed},
      {R"({"a":1 /**/})", GeoParse::Parsed},
      {R"({"a" /**/ :1})", GeoParse::Refused},
      {"/* c */ // d\r\n [1] /* cut", GeoParse::Parsed},
      {"/*a/ 5", GeoParse::Refused},
      {"/*/", GeoParse::Refused},
      {"/**/5", GeoParse::Parsed},
      {"//\r5", GeoParse::Parsed},
      {R"("\ud800")", GeoParse::Refused},
      {R"("\ud800\u0041")", GeoParse::Parsed},
      {R"("\udc00")", GeoParse::Parsed},
      {R"("\x")", GeoParse::Refused},
      {R"("\u12G4")", GeoParse::Refused},
      {"\"raw\ncontrol\tbytes\"", GeoParse::Parsed},
      {"tru", GeoParse::Refused},
      {"truex", GeoParse::Parsed},
      {"[1e]", GeoParse::Refused},
      {"[1e+]", GeoParse::Refused},
      {"[-.]", GeoParse::Refused},
      {"[-e5]", GeoParse::Refused},
      {"[1e400]", GeoParse::Refused},
      {"[-.5, 1., 0.e5, 00.5, 1E5, 1e-400]", GeoParse::Parsed},
      {nested(1000, ""), GeoParse::Parsed},
      {nested(1001, ""), GeoParse::TooDeep},
      {nested(999, "1"), GeoParse::Parsed},
      {nested(1000, "1"), GeoParse::TooDeep},
      {nested(1000, "x"), GeoParse::TooDeep},  // the limit is met before the bad token
      {nested(999, "x"), GeoParse::Refused},
      {"[x, " + nested(1001, "") + "]", GeoParse::Refused},  // the error comes first
      {nestedObjects(999, "{}"), GeoParse::Parsed},
      {nestedObjects(999, "1"), GeoParse::Parsed},
      {nestedObjects(1000, "1"), GeoParse::TooDeep},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    GeoRecord record;
    EXPECT_EQ(readGeoRecordByDom(c.text, &record), c.expected) << "Json::Reader itself";
    EXPECT_EQ(geo_check::differenceFromReader(c.text), "");
  }
}

std::vector<double> bitsOf(const char* numbers) {
  GeoRecord record;
  std::string text = std::string(R"({"positions" : [)") + numbers + "]}";
  EXPECT_EQ(readGeoRecord(text, &record), GeoParse::Parsed) << text;
  return record.positions.values;
}

// Numbers become the doubles that Json::Reader gives them: integers through 64 bits (an
// unsigned one beyond 2^53 as the reader's document makes it), beyond that and for reals the
// correctly rounded double. Random unsigned integers of every width agree with the reader.
TEST(GeoReaderTest, NumbersGetJsonReadersValuesBitForBit) {
  const std::vector<double> values = bitsOf(
      "0.1, -0.0, 18446744073709551615, 18446744073709551616, -9223372036854775808, "
      "-9223372036854775809, 9007199254740993, 2.2250738585072011e-308, 4e-320, 1e-400, "
      "123456789012345678901234567890, 0.30000000000000004, 1.7976931348623157e308, "
      "50196078431372549");
  const double expected[] = {0.1,
                             -0.0,
                             18446744073709551615.0,
                             18446744073709551616.0,
                             -9223372036854775808.0,
                             -9223372036854775809.0,
                             9007199254740992.0,
                             2.2250738585072011e-308,
                             4e-320,
                             0.0,
                             1.2345678901234568e29,
                             0.30000000000000004,
                             1.7976931348623157e308,
                             50196078431372544.0};  // the reader's, a step below the nearest
  ASSERT_EQ(values.size(), std::size(expected));
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(std::memcmp(&values[i], &expected[i], sizeof(double)), 0) << "entry " << i;
  std::mt19937_64 random(53);
  for (int i = 0; i < 20000; ++i) {
    const uint64_t value = random() >> (random() % 33);
    const std::string text = R"({"colors" : [)" + std::to_string(value) + "]}";
    ASSERT_EQ(geo_check::differenceFromReader(text), "") << text;
  }
}

TEST(GeoReaderTest, ReadsTheListsAsTheImportDoes) {
  GeoRecord record;
  ASSERT_EQ(readGeoRecord(R"({"indices" : [4.9, -2147483648.7, null, true, false, 2147483648],
      "col\u006frs" : [1], "colors" : null, "positions" : "none", "positions" : [[1]],
      "other" : {"colors" : [5]}})",
                          &record),
            GeoParse::Parsed);
  EXPECT_EQ(record.root, GeoRecord::Root::Object);
  EXPECT_EQ(record.colors.kind, GeoList::Kind::Null) << "the last of duplicate keys wins";
  EXPECT_EQ(record.positions.kind, GeoList::Kind::Other);
  EXPECT_EQ(record.indices.kind, GeoList::Kind::Numbers);
  EXPECT_EQ(record.indices.indexes, (std::vector<int32_t>{4, -2147483647 - 1, 0, 1, 0, 0}));
  EXPECT_FALSE(record.indices.indexesFit);
  for (const char* root : {"[1]", "[[]]"}) {
    ASSERT_EQ(readGeoRecord(root, &record), GeoParse::Parsed);
    EXPECT_EQ(record.root, GeoRecord::Root::NotObject) << root;
  }
  for (const char* root : {"{}", "[]", "null", "7", "\"s\""}) {
    ASSERT_EQ(readGeoRecord(root, &record), GeoParse::Parsed);
    EXPECT_EQ(record.root, GeoRecord::Root::Empty) << root;
  }
}

// The fuzz target's corpus, replayed: every case it kept is checked the same way.
TEST(GeoReaderTest, FuzzCorpusAgreesWithJsonReader) {
  const fs::path corpus = fs::path(TOLVANE_SOURCE_DIR) / "fuzz" / "corpus" / "geo";
  size_t cases = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(corpus)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(geo_check::differenceFromReader(text), "") << entry.path();
    ++cases;
  }
  EXPECT_GE(cases, 20u);
}

// Records cut at every byte and with bytes changed at random: each agrees.
TEST(GeoReaderTest, CutAndDamagedRecordsAgreeWithJsonReader) {
  const std::string record =
      "/* geometry */ {\r\n\t\"avoclass\" : \"componentGeoes\",\r\n\t\"colors\" : \r\n\t[\r\n"
      "\t\t1.0,\r\n\t\t0.50196078431372548,\r\n\t\t0.0\r\n\t],\r\n\t\"indices\" : [0, 1, 2, "
      "2147483648, -3.5e0], // note\n\t\"positions\" : [1e5, -0.0, 12345678901234567890123, "
      "1.5e-3, null, true, false], \"k\\u0041\" : {\"x\" : [\"\\ud83d\\ude00\"]}\r\n}";
  for (size_t length = 0; length <= record.size(); ++length)
    ASSERT_EQ(geo_check::differenceFromReader(record.substr(0, length)), "") << length;
  std::mt19937 random(11);
  const char bytes[] = "{}[],:\"\\/*-+.eE0159 \nntfu";
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = record;
    for (int k = 0; k < 3; ++k)
      damaged[random() % damaged.size()] = bytes[random() % (sizeof bytes - 1)];
    ASSERT_EQ(geo_check::differenceFromReader(damaged), "") << damaged;
  }
}

}  // namespace
