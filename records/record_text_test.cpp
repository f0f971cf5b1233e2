#include "records/record_text.h"

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

namespace {

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

class DocumentGenerator {
 public:
  explicit DocumentGenerator(uint32_t seed) : m_random(seed) {}

  // A value whose containers nest up to depth levels; about half of the values below that
  // depth are containers.
  Json::Value Generate(int depth) {
    if (depth > 0 && Pick(2) == 0) return Container(depth);
    switch (Pick(8)) {
      case 0:
        return Json::Value();
      case 1:
        return Json::Value(Pick(2) == 0);
      case 2:
        return Json::Value(Json::Int64(SignedInteger()));
      case 3:
        return Json::Value(Json::UInt64(UnsignedInteger()));
      case 4:
      case 5:
        return Json::Value(Real());
      case 6:
        return Json::Value(Text(true));
      default:
        return Json::Value(Pick(2) == 0 ? Json::arrayValue : Json::objectValue);
    }
  }

  Json::Value Container(int depth) {
    const int size = 1 + Pick(7);
    if (Pick(2) == 0) {
      Json::Value array(Json::arrayValue);
      for (int i = 0; i < size; ++i) array.append(Generate(depth - 1));
      return array;
    }
    Json::Value object(Json::objectValue);
    for (int i = 0; i < size; ++i) object[Key()] = Generate(depth - 1);
    return object;
  }

 private:
  int Pick(int count) { return static_cast<int>(m_random() % static_cast<uint32_t>(count)); }

  int64_t SignedInteger() {
    const int64_t edges[] = {0, -1, 1, INT64_MIN, INT64_MAX, INT32_MIN, -17};
    if (Pick(2) == 0) return edges[Pick(7)];
    return static_cast<int64_t>(Bits()) >> Pick(64);
  }
  uint64_t UnsignedInteger() {
    const uint64_t edges[] = {0, UINT64_MAX, uint64_t(INT64_MAX) + 1, 10768};
    return Pick(2) == 0 ? edges[Pick(4)] : Bits() >> Pick(64);
  }
  uint64_t Bits() { return (uint64_t(m_random()) << 32) | m_random(); }

  double Real() {
    const double edges[] = {0.0,
                            -0.0,
                            1.0,
                            100.0,
                            1e21,
                            1e-7,
                            0.1,
                            std::numeric_limits<double>::denorm_min(),
                            -std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            9007199254740993.0,
                            1e16,
                            1e17,
                            123456789012345678.0};
    switch (Pick(4)) {
      case 0:
        return edges[Pick(std::size(edges))];
      case 1:
        return std::uniform_real_distribution<double>(-1e6, 1e6)(m_random);
      case 2:
        return Pick(255) * 0.00392156862745098;
      default: {
        // Any finite bit pattern: denormals, huge and tiny exponents.
        for (;;) {
          double value;
          uint64_t bits = Bits();
          std::memcpy(&value, &bits, sizeof value);
          if (std::isfinite(value)) return value;
        }
      }
    }
  }

  // Any bytes: high bytes, control bytes, quotes, backslashes and (in values) zero bytes.
  std::string Text(bool allowZero) {
    std::string text;
    for (int i = Pick(12); i > 0; --i) {
      const char special[] = {'"', '\\', '/', '\x7f', '\xff', '\x80', '\n', '\x1f', '\0'};
      char c = Pick(3) == 0 ? special[Pick(allowZero ? 9 : 8)] : static_cast<char>(1 + Pick(255));
      text += c;
    }
    return text;
  }

  // Keys that sort differently by bytes than by any other rule: case, prefixes, high bytes.
  std::string Key() {
    const char* pool[] = {"a",        "A",    "ab",        "aB",     "abc",  "B", "b",   "_", "~",
                          "\xc3\xa9", "\xc3", "ElementID", "attrid", "name", "",  "a b", "Z"};
    return Pick(3) == 0 ? Text(false) : pool[Pick(std::size(pool))];
  }

  std::mt19937 m_random;
};

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
