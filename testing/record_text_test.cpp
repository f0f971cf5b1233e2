#include "testing/record_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include "testing/test_support.h"
#include "tests/json_documents.h"

namespace {

using test_support::DocumentGenerator;

TEST(RecordTextTest, WritesTheExampleDocumentByteForByte) {
  Json::Value document;
  document["range"] = Json::Value(Json::objectValue);
  document["name"] = Json::Value(Json::arrayValue);
  document["matrix"]["type"] = 3;
  document["colors"].append(1.0);
  document["colors"].append(0.5);
  document["colors"].append(0.0);
  document["code"] = "attribute";
  EXPECT_EQ(toRecordText(document), test_support::WithCrLf("{\n"
                                                           "\t\"code\" : \"attribute\",\n"
                                                           "\t\"colors\" : \n"
                                                           "\t[\n"
                                                           "\t\t1.0,\n"
                                                           "\t\t0.5,\n"
                                                           "\t\t0.0\n"
                                                           "\t],\n"
                                                           "\t\"matrix\" : \n"
                                                           "\t{\n"
                                                           "\t\t\"type\" : 3\n"
                                                           "\t},\n"
                                                           "\t\"name\" : [],\n"
                                                           "\t\"range\" : {}\n"
                                                           "}"));
}

TEST(RecordTextTest, WritesNumbersAsTheNumberTableShows) {
  struct Case {
    Json::Value value;
    const char* text;
  };
  const Case cases[] = {
      {0.1, "0.10000000000000001"},
      {1.0 / 3.0, "0.33333333333333331"},
      {0.5019607843137255, "0.50196078431372548"},
      {1234.5, "1234.5"},
      {100.0, "100.0"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1e21, "1e+21"},
      {1e-7, "9.9999999999999995e-08"},
      {2.5e-5, "2.5000000000000001e-05"},
      {-17, "-17"},
      {1 * 0.00392156862745098, "0.0039215686274509803"},
      {255 * 0.00392156862745098, "1.0"},
      {2, "2"},
      {2.0, "2.0"},
      {1e300, "1.0000000000000001e+300"},
      {5e-324, "4.9406564584124654e-324"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::numeric_limits<double>::infinity(), "1e+9999"},
      {-std::numeric_limits<double>::infinity(), "-1e+9999"},
      {std::numeric_limits<double>::quiet_NaN(), "-1e+9999"},
      {Json::Int64(INT64_MIN), "-9223372036854775808"},
      {Json::UInt64(UINT64_MAX), "18446744073709551615"},
      {Json::Value(), "null"},
      {true, "true"},
      {false, "false"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toRecordText(c.value), c.text) << c.text;
  }
}

TEST(RecordTextTest, EscapesOnlyWhatJsonRequires) {
  struct Case {
    std::string value;
    const char* text;
  };
  const Case cases[] = {
      {"say \"hi\"", R"("say \"hi\"")"},
      {"a\\b/c", R"("a\\b/c")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {"\x01\x1f\x1b", R"("\u0001\u001f\u001b")"},
      {"\x7f", "\"\x7f\""},
      {"Gr\xfc\xdf \xc3\xa9 \xff", "\"Gr\xfc\xdf \xc3\xa9 \xff\""},
      {std::string("cut\0here", 8), R"("cut")"},
      {std::string("\0", 1), R"("")"},
      {"", R"("")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toRecordText(Json::Value(c.value)), c.text) << c.text;
  }
}

TEST(RecordTextTest, SortsMembersByTheUnsignedBytesOfTheirKeys) {
  Json::Value document;
  for (const char* key :
       {"name", "\xc3\xa9t\xc3\xa9", "attrid", "ElementID", "a", "ab", "Z", "~"}) {
    document[key] = 1;
  }
  EXPECT_EQ(toRecordText(document), test_support::WithCrLf("{\n"
                                                           "\t\"ElementID\" : 1,\n"
                                                           "\t\"Z\" : 1,\n"
                                                           "\t\"a\" : 1,\n"
                                                           "\t\"ab\" : 1,\n"
                                                           "\t\"attrid\" : 1,\n"
                                                           "\t\"name\" : 1,\n"
                                                           "\t\"~\" : 1,\n"
                                                           "\t\"\xc3\xa9t\xc3\xa9\" : 1\n"
                                                           "}"));
}

TEST(RecordTextTest, PlacesBracketsByTheFreshLineRule) {
  struct Case {
    const char* name;
    Json::Value value;
    const char* text;
  };
  Json::Value nestedArrays;
  nestedArrays.append(Json::Value(Json::arrayValue));
  nestedArrays[1].append(1);
  nestedArrays[2]["k"] = Json::Value(Json::objectValue);
  Json::Value deepMembers;
  deepMembers["a"]["b"].append("x");
  const Case cases[] = {
      {"empty object", Json::Value(Json::objectValue), "{}"},
      {"empty array", Json::Value(Json::arrayValue), "[]"},
      {"scalar root", Json::Value("x"), "\"x\""},
      {"elements' brackets stay on the element's line", nestedArrays,
       "[\n\t[],\n\t[\n\t\t1\n\t],\n\t{\n\t\t\"k\" : {}\n\t}\n]"},
      {"members' brackets go on the next line", deepMembers,
       "{\n\t\"a\" : \n\t{\n\t\t\"b\" : \n\t\t[\n\t\t\t\"x\"\n\t\t]\n\t}\n}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toRecordText(c.value), test_support::WithCrLf(c.text)) << c.name;
  }
}

// --- Differential check against jsoncpp's own stream writer, which emits the same layout
// --- with LF line breaks when its strings are emitted as UTF-8 bytes.

// The documented form cuts a string at its first zero byte, where jsoncpp writes \u0000 and
// goes on: jsoncpp gets a copy whose strings are already cut. NaN is written -1e+9999 where
// jsoncpp writes null: the generator makes no NaN (it is checked in the number table).
Json::Value cutAtZero(const Json::Value& value) {
  switch (value.type()) {
    case Json::stringValue:
      return Json::Value(value.asCString());
    case Json::arrayValue: {
      Json::Value array(Json::arrayValue);
      for (const Json::Value& element : value) array.append(cutAtZero(element));
      return array;
    }
    case Json::objectValue: {
      Json::Value object(Json::objectValue);
      for (const std::string& key : value.getMemberNames()) object[key] = cutAtZero(value[key]);
      return object;
    }
    default:
      return value;
  }
}

TEST(RecordTextTest, MatchesJsoncppsStreamWriterOnGeneratedDocuments) {
  Json::StreamWriterBuilder builder;
  builder.settings_["emitUTF8"] = true;
  std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
  DocumentGenerator generator(20240611);
  size_t totalSize = 0;
  for (int i = 0; i < 3000; ++i) {
    const Json::Value document = generator.Container(1 + i % 6);
    std::ostringstream expected;
    writer->write(cutAtZero(document), &expected);
    const std::string text = toRecordText(document);
    totalSize += text.size();
    ASSERT_EQ(text, test_support::WithCrLf(expected.str())) << "document " << i;
  }
  // The documents are not mostly trivial scalars.
  EXPECT_GT(totalSize, 3000u * 200);
}

TEST(RecordTextTest, WritesDeeplyNestedDocuments) {
  Json::Value document = 1;
  for (int i = 0; i < 200; ++i) {
    Json::Value outer;
    outer[i % 2 ? "k" : "m"].append(std::move(document));
    document.swap(outer);
  }
  std::ostringstream expected;
  Json::StreamWriterBuilder builder;
  std::unique_ptr<Json::StreamWriter>(builder.newStreamWriter())->write(document, &expected);
  EXPECT_EQ(toRecordText(document), test_support::WithCrLf(expected.str()));
}

}  // namespace
