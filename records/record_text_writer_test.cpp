#include "records/record_text_writer.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/record_numbers_test_helpers.h"
#include "testing/record_text.h"
#include "tests/json_documents.h"

namespace {

// Gives the writer the pieces of value in the order toRecordText writes them.
void replay(RecordTextWriter& writer, const Json::Value& value) {
  switch (value.type()) {
    case Json::nullValue:
      return writer.Null();
    case Json::booleanValue:
      return writer.Boolean(value.asBool());
    case Json::intValue:
      return writer.Integer(value.asInt64());
    case Json::uintValue:
      return writer.Unsigned(value.asUInt64());
    case Json::realValue:
      return writer.Real(value.asDouble());
    case Json::stringValue: {
      const char* begin = nullptr;
      const char* end = nullptr;
      value.getString(&begin, &end);
      return writer.String(std::string_view(begin, static_cast<size_t>(end - begin)));
    }
    case Json::arrayValue:
      writer.BeginArray();
      for (const Json::Value& element : value) replay(writer, element);
      return writer.EndArray();
    case Json::objectValue:
      writer.BeginObject();
      for (auto member = value.begin(); member != value.end(); ++member) {
        const char* keyEnd = nullptr;
        const char* key = member.memberName(&keyEnd);
        writer.Key(std::string_view(key, static_cast<size_t>(keyEnd - key)));
        replay(writer, *member);
      }
      return writer.EndObject();
  }
}

// One buffer serves every document, shorter after longer and back, as it does in an export.
TEST(RecordTextWriterTest, WritesWhatTheDocumentPathWritesOnGeneratedDocuments) {
  test_support::DocumentGenerator generator(7141);
  std::string buffer;
  for (int i = 0; i < 3000; ++i) {
    const Json::Value document = i % 7 == 0 ? generator.Generate(0) : generator.Container(i % 6);
    RecordTextWriter writer(buffer);
    replay(writer, document);
    ASSERT_EQ(writer.Finish(), toRecordText(document)) << "document " << i;
  }
}

// Long runs of plain bytes with a byte to escape (or a zero byte, which ends the string) at
// any place, as one text and as two joined ones.
TEST(RecordTextWriterTest, WritesStringsOfAnyLengthAsTheDocumentPathDoes) {
  std::mt19937 random(29);
  const char special[] = {'"', '\\', '\n', '\x1f', '\0', '\x01'};
  std::string buffer;
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 70, 'x');
    for (char& c : text) {
      c = static_cast<char>(' ' + random() % 95);
      if (random() % 25 == 0) c = special[random() % std::size(special)];
    }
    RecordTextWriter writer(buffer);
    writer.String(text);
    const std::string expected = toRecordText(Json::Value(text.c_str()));
    ASSERT_EQ(writer.Finish(), expected) << text;
    const size_t cut = random() % (text.size() + 1);
    const std::string_view first = std::string_view(text).substr(0, cut);
    const std::string_view second = std::string_view(text).substr(cut);
    RecordTextWriter joined(buffer);
    joined.String(first, second);
    ASSERT_EQ(joined.Finish(), expected) << text << " cut at " << cut;
    // The same texts given in their quoted forms, whole and as the second of two.
    using Text = RecordTextWriter::Text;
    RecordTextWriter quoted(buffer);
    quoted.String(Text::Quoted(RecordTextWriter::Quote(text)));
    ASSERT_EQ(quoted.Finish(), expected) << text;
    const std::string quotedSecond = RecordTextWriter::Quote(second);
    RecordTextWriter joinedQuoted(buffer);
    joinedQuoted.String(first, Text::Quoted(quotedSecond));
    ASSERT_EQ(joinedQuoted.Finish(), expected) << text << " cut at " << cut;
  }
}

// Literals, with or without bytes to escape and with a zero byte inside, and quoted texts are
// written as the document path writes their texts.
TEST(RecordTextWriterTest, WritesLiteralsAsTheirTexts) {
  std::string buffer;
  const auto both = [&](RecordTextWriter::Text key, RecordTextWriter::Text value,
                        std::string_view keyText, std::string_view valueText) {
    RecordTextWriter writer(buffer);
    writer.BeginObject();
    writer.Key(key);
    writer.String(value);
    writer.EndObject();
    Json::Value document;
    document[std::string(keyText)] = std::string(valueText);
    EXPECT_EQ(writer.Finish(), toRecordText(document)) << keyText;
  };
  both("plain", "components", "plain", "components");
  both("", "", "", "");
  both("quote\"d", "back\\slash", "quote\"d", "back\\slash");
  both("tab\tbed", "line\nbreak\x01", "tab\tbed", "line\nbreak\x01");
  both("cut\0here", "ends\0at zero", "cut", "ends");
  both("key", RecordTextWriter::Text::Quoted(R"("a\"b")"), "key", "a\"b");
  {
    RecordTextWriter writer(buffer);
    writer.String("componentGeoes/", RecordTextWriter::Text::Quoted(R"("S - M - 7")"));
    EXPECT_EQ(writer.Finish(), R"("componentGeoes/S - M - 7")");
  }
}

TEST(RecordTextWriterTest, RefusesNestingBeyondItsDepth) {
  std::string buffer;
  RecordTextWriter writer(buffer);
  for (size_t i = 0; i < RecordTextWriter::kMaxDepth; ++i) writer.BeginArray();
  EXPECT_THROW(writer.BeginObject(), std::length_error);
}

TEST(RecordTextWriterTest, EntriesAreForArraysOnly) {
  std::string buffer;
  RecordTextWriter writer(buffer);
  auto zero = [](char* at, size_t) {
    *at = '0';
    return at + 1;
  };
  EXPECT_THROW(writer.Entries(1, 1, zero), std::logic_error);
  EXPECT_THROW(writer.SameEntries(1, "0"), std::logic_error);
  writer.BeginObject();
  EXPECT_THROW(writer.Entries(1, 1, zero), std::logic_error);
  EXPECT_THROW(writer.SameEntries(1, "0"), std::logic_error);
}

// Runs of one value, at depths whose leads fit the short piece and beyond it, in fresh
// arrays and after entries, come out as the same entries written one by one.
TEST(RecordTextWriterTest, SameEntriesWriteWhatEntriesWriteOneByOne) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 400; ++trial) {
    const size_t depth = 1 + random() % (trial < 200 ? 4 : RecordTextWriter::kMaxDepth - 1);
    const size_t before = random() % 3, count = random() % (trial % 7 == 0 ? 2000 : 40);
    const std::string scalar = std::to_string(random() % 1000);
    auto write = [&](bool same) {
      std::string buffer;
      RecordTextWriter writer(buffer);
      for (size_t level = 0; level < depth; ++level) writer.BeginArray();
      for (size_t i = 0; i < before; ++i) writer.Integer(7);
      if (same) {
        writer.SameEntries(count, scalar);
      } else {
        writer.Entries(count, scalar.size(), [&](char* at, size_t) {
          std::memcpy(at, scalar.data(), scalar.size());
          return at + scalar.size();
        });
      }
      writer.Integer(8);
      for (size_t level = 0; level < depth; ++level) writer.EndArray();
      return std::string(writer.Finish());
    };
    ASSERT_EQ(write(true), write(false))
        << "depth " << depth << ", " << before << " before, " << count << " of " << scalar;
  }
}

// Values met again (the memo's copies), values whose bits share a table entry (its
// replacements) and new values alike come out as printf writes them.
TEST(RecordTextWriterTest, RealMemoWritesWhatPutRealWrites) {
  const std::vector<double> values = record_text_testing::realsToCheck();
  std::mt19937_64 random(29);
  RecordTextWriter::RealMemo memo;
  char text[RecordTextWriter::kRealRoom];
  for (size_t i = 0; i < values.size(); ++i) {
    const double value = values[i - std::min<size_t>(i, random() % 96)];
    std::memset(text, 'x', sizeof text);
    const char* end = memo.Put(text, value);
    ASSERT_EQ(std::string(static_cast<const char*>(text), end),
              record_text_testing::printfReal(value))
        << std::hexfloat << value;
  }
}

// Every width of the digit pair table's paths and their edges, then the library's.
TEST(RecordTextWriterTest, WritesUnsignedsAsDecimalDigits) {
  std::vector<uint64_t> values;
  for (uint64_t value = 0; value <= 20000; ++value) values.push_back(value);
  for (uint64_t ten = 10; ten <= 10000000000000000000u; ten *= 10)
    values.insert(values.end(), {ten - 1, ten, ten + 1});
  values.push_back(UINT64_MAX);
  char text[RecordTextWriter::kUnsignedRoom];
  for (uint64_t value : values) {
    const char* end = RecordTextWriter::PutUnsigned(text, value);
    ASSERT_LE(end - text, static_cast<ptrdiff_t>(sizeof text));
    ASSERT_EQ(std::string(static_cast<const char*>(text), end), std::to_string(value));
  }
}

}  // namespace
