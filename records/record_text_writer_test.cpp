#include "records/record_text_writer.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <stdexcept>
#include <string>

#include "records/record_text.h"
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

TEST(RecordTextWriterTest, RefusesNestingBeyondItsDepth) {
  std::string buffer;
  RecordTextWriter writer(buffer);
  for (size_t i = 0; i < RecordTextWriter::kMaxDepth; ++i) writer.BeginArray();
  EXPECT_THROW(writer.BeginObject(), std::length_error);
}

TEST(RecordTextWriterTest, ScratchTextIsSharedByOneBorrowerAtATime) {
  std::string* first = nullptr;
  {
    ScratchText outer;
    first = &outer.Text();
    ScratchText inner;
    EXPECT_NE(&inner.Text(), first);
    outer.Text().resize(2u << 20);  // beyond what is kept between records
  }
  ScratchText again;
  EXPECT_EQ(&again.Text(), first);
  EXPECT_LT(again.Text().capacity(), 2u << 20);
}

}  // namespace
