#include "import/geo_scanner.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <random>
#include <string>

#include "fuzz/geo_reader_check.h"
#include "testing/record_text.h"

namespace {

// A geometry record as the export writes it, of a random mesh.
std::string exportedRecord(std::mt19937& random, int points) {
  std::uniform_real_distribution<double> coordinate(-1e6, 1e6);
  Json::Value document;
  document["avoclass"] = "componentGeoes";
  document["code"] = "Site.dgn - Default - 10768";
  for (double c : {1.0, 0.50196078431372548, 0.0, 1.0}) document["colors"].append(c);
  for (int i = 0; i < 3 * points; ++i) document["positions"].append(coordinate(random));
  for (int i = 0; i < 3 * points; ++i)
    document["indices"].append(Json::UInt64(random() % static_cast<unsigned>(points)));
  document["numberOfPrimitives"] = points;
  return toRecordText(document);
}

// What the export writes is read by the fast reader alone, with Json::Reader's values.
TEST(GeoScannerTest, ExportedRecordsNeedNoFallback) {
  std::mt19937 random(5);
  for (int points : {1, 3, 100, 2000}) {
    std::string text = exportedRecord(random, points);
    GeoRecord record;
    ASSERT_EQ(scanGeoRecord(text, &record), GeoParse::Parsed) << points;
    EXPECT_EQ(record.positions.size, 3u * static_cast<size_t>(points));
    EXPECT_EQ(geo_check::differenceFromReader(text), "") << points;
  }
}

// Forms that the fast reader leaves to Json::Reader, which then judges them.
TEST(GeoScannerTest, UnusualRealsAreLeftToJsonReader) {
  struct Case {
    const char* number;
    GeoParse byReader;
  };
  const Case cases[] = {
      {"-.5", GeoParse::Parsed},    {"1e400", GeoParse::Refused}, {"-1e400", GeoParse::Refused},
      {"1e", GeoParse::Refused},    {"1.5E+", GeoParse::Refused}, {"-.", GeoParse::Refused},
      {"1e-400", GeoParse::Parsed},
  };
  for (const Case& c : cases) {
    std::string text = std::string(R"({"positions" : [1, )") + c.number + "]}";
    GeoRecord record;
    EXPECT_EQ(scanGeoRecord(text, &record), GeoParse::Unsure) << c.number;
    EXPECT_EQ(readGeoRecord(text, &record), c.byReader) << c.number;
    EXPECT_EQ(geo_check::differenceFromReader(text), "") << c.number;
  }
}

// An error met before the nesting limit ends the reading, as it ends Json::Reader's.
TEST(GeoScannerTest, FirstFailureDecides) {
  GeoRecord record;
  EXPECT_EQ(scanGeoRecord("[1e400, " + std::string(1001, '[') + "]", &record), GeoParse::Unsure);
  EXPECT_EQ(scanGeoRecord("[x, " + std::string(1001, '['), &record), GeoParse::Refused);
  EXPECT_EQ(scanGeoRecord(std::string(1001, '[') + "1e400", &record), GeoParse::TooDeep);
}

}  // namespace
