#include "standin/design/design_stream_values.h"

#include <gtest/gtest.h>

#include <functional>

namespace host::design_stream {
namespace {

using json_source::Source;
using json_source::Unsure;

// Whether read takes the whole text without leaving it to the document reader.
bool reads(const std::string& text, const std::function<void(Source&)>& read) {
  try {
    Source source(text);
    read(source);
    source.SkipGap();
    return source.AtEnd();
  } catch (const Unsure&) {
    return false;
  }
}

TEST(DesignStreamValuesTest, ValuesOutsideTheirKindOrRangeAreLeftToTheDocumentReader) {
  struct Case {
    const char* what;
    std::function<void(Source&)> read;
    std::vector<std::string> taken, left;
  };
  const Case cases[] = {
      {"unsigned 32-bit",
       [](Source& in) { ReadUInt32(in); },
       {"0", "-0", "4294967295"},
       {"4294967296", "-1", "5.0", "\"5\"", "true"}},
      {"unsigned 64-bit",
       [](Source& in) { ReadUInt64(in); },
       {"18446744073709551615"},
       {"18446744073709551616", "-1", "1e3"}},
      {"geometry",
       [](Source& in) { ReadGeometry(in); },
       {"1e15", "-1e15", "0.5", "-7"},
       {"1.0000000000000002e15", "-2e15", "\"1\"", "null"}},
      {"text",
       [](Source& in) { ReadText(in); },
       {R"("")", R"("T\u00fcr")", "\"T\xC3\xBCr\""},
       {R"("a\u0000b")", "\"\xFF\"", "\"\xC3\"", "1"}},
      {"name", [](Source& in) { ReadName(in); }, {R"("A")"}, {R"("")"}},
      {"colour",
       [](Source& in) { ReadColor(in); },
       {R"("bylevel")", "300", "0"},
       {R"("red")", "-1", "1.5"}},
      {"rgb",
       [](Source& in) { ReadRgb(in); },
       {"[1, 2, 3]", "[ 0,0,255 ]"},
       {"[1, 2]", "[1, 2, 3, 4]", "[1, 2, 256]", "[]", "{}"}},
      {"point",
       [](Source& in) { ReadPoint(in); },
       {"[1, 2.5, -3e2]"},
       {"[1, 2]", "[1, 2, 3, 4]", "[1, 2, 1e16]", "[1, 2, \"3\"]"}},
      {"points",
       [](Source& in) { ReadPoints(in); },
       {"[]", "[[0,0,0], [1,1,1]]"},
       {"[[0,0,0],]", "[0,0,0]"}},
  };
  for (const Case& c : cases) {
    for (const std::string& text : c.taken)
      EXPECT_TRUE(reads(text, c.read)) << c.what << ": " << text;
    for (const std::string& text : c.left)
      EXPECT_FALSE(reads(text, c.read)) << c.what << ": " << text;
  }
}

TEST(DesignStreamValuesTest, ValuesReadAsTheDocumentReaderReadsThem) {
  Source colours(R"("bylevel" 300 [7, 8, 9] [1, -2.5, 3e2])");
  EXPECT_EQ(ReadColor(colours), kByLevelColor);
  EXPECT_EQ(ReadColor(colours), 300u);
  EXPECT_EQ(ReadRgb(colours), (Rgb{7, 8, 9}));
  EXPECT_EQ(ReadPoint(colours), (DPoint3d{1, -2.5, 300}));
}

TEST(DesignStreamValuesTest, AMemberSeenTwiceOrUnknownIsAFault) {
  uint32_t seen = 0;
  See(&seen, IndexOf("b", {"a", "b"}));
  EXPECT_EQ(seen, 2u);
  EXPECT_THROW(See(&seen, IndexOf("b", {"a", "b"})), Unsure);
  EXPECT_THROW(See(&seen, IndexOf("c", {"a", "b"})), Unsure);
}

}  // namespace
}  // namespace host::design_stream
