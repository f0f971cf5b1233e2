#include "standin/design/json_source.h"

#include <gtest/gtest.h>

#include <json/json.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace host::json_source {
namespace {

// Reads one number and requires that nothing but blanks follows.
bool readsNumber(const std::string& text, Number* number) {
  try {
    Source source(text);
    *number = source.ReadNumber();
    source.SkipBlanks();
    return source.AtEnd();
  } catch (const Unsure&) {
    return false;
  }
}

TEST(JsonSourceTest, NumbersOfTheStrictGrammarAreReadAndTheRestLeft) {
  struct Case {
    const char* text;
    bool read;
    bool integral = false;
    double value = 0;
  };
  const Case cases[] = {
      {"0", true, true, 0},
      {"-0", true, true, 0},
      {"42", true, true, 42},
      {"-9223372036854775808", true, true, -9223372036854775808.0},
      {"18446744073709551615", true, true, 18446744073709551615.0},
      {"50196078431372549", true, true, 50196078431372544.0},  // the document reader's double
      {"1.5", true, false, 1.5},
      {"-2.5e3", true, false, -2500},
      {"1E-2", true, false, 0.01},
      {"0.1", true, false, 0.1},
      {"18446744073709551616", false, false, 0},  // beyond 64 bits: a real to the document reader
      {"-9223372036854775809", false, false, 0},
      {"01", false, false, 0},
      {"1.", false, false, 0},
      {".5", false, false, 0},
      {"+1", false, false, 0},
      {"1e", false, false, 0},
      {"1e400", false, false, 0},
      {"-", false, false, 0},
      {"NaN", false, false, 0},
  };
  for (const Case& c : cases) {
    Number number;
    ASSERT_EQ(readsNumber(c.text, &number), c.read) << c.text;
    if (!c.read) continue;
    EXPECT_EQ(number.integral, c.integral) << c.text;
    EXPECT_EQ(number.AsDouble(), c.value) << c.text;
  }
  Number negativeZero;
  ASSERT_TRUE(readsNumber("-0.0", &negativeZero));
  EXPECT_TRUE(std::signbit(negativeZero.AsDouble()));
  // Integers of every width get the document reader's double, bit for bit; "-0" is its
  // integer 0, a positive zero.
  Number integralZero;
  ASSERT_TRUE(readsNumber("-0", &integralZero));
  EXPECT_FALSE(std::signbit(integralZero.AsDouble()));
  std::mt19937_64 random(31);
  for (int i = 0; i < 20000; ++i) {
    const uint64_t bits = random() >> (random() % 40);
    const std::string text = (i % 2 ? "-" : "") + std::to_string(bits >> (i % 2));
    Number number;
    ASSERT_TRUE(readsNumber(text, &number)) << text;
    Json::Value document;
    ASSERT_TRUE(Json::Reader().parse(text, document, false)) << text;
    const double mine = number.AsDouble(), reader = document.asDouble();
    ASSERT_EQ(std::memcmp(&mine, &reader, sizeof mine), 0) << text;
  }
}

TEST(JsonSourceTest, StringsDecodeTheirEscapesOrAreLeft) {
  struct Case {
    std::string text;
    bool read;
    std::string value;
  };
  const Case cases[] = {
      {R"("plain")", true, "plain"},
      {R"("a\"b\\c\/d\b\f\n\r\t")", true, "a\"b\\c/d\b\f\n\r\t"},
      {R"("\u00fc\u20AC")", true, "\xC3\xBC\xE2\x82\xAC"},
      {R"("\ud83d\ude00")", true, "\xF0\x9F\x98\x80"},
      {R"("\u0000")", true, std::string(1, '\0')},
      {R"("\ude00")", false, ""},        // a lone low surrogate
      {R"("\ud83d\u0041")", false, ""},  // a high surrogate without its low half
      {R"("\x41")", false, ""},
      {R"("\u12G4")", false, ""},
      {"\"tab\there\"", false, ""},  // a raw control character
      {R"("cut short)", false, ""},
  };
  for (const Case& c : cases) {
    std::string value;
    bool read = true;
    try {
      Source source(c.text);
      value = std::string(source.ReadString());
    } catch (const Unsure&) {
      read = false;
    }
    EXPECT_EQ(read, c.read) << c.text;
    if (read) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

// Reads an array of numbers; comments are taken only where the document reader takes them.
bool readsArray(const std::string& text, size_t* count) {
  try {
    Source source(text);
    *count = 0;
    if (source.BeginArray()) {
      do {
        source.ReadNumber();
        ++*count;
      } while (source.NextInArray());
    }
    source.SkipGap();
    return source.AtEnd();
  } catch (const Unsure&) {
    return false;
  }
}

TEST(JsonSourceTest, CommentsAreTakenBeforeAndAfterValuesOnly) {
  struct Case {
    const char* text;
    bool read;
    size_t count = 0;
  };
  const Case cases[] = {
      {"// lead\n[1, /* two */ 2 // end\n, 3] /* tail */", true, 3},
      {"[ ]", true, 0},
      {"[ /* nothing */ ]", false, 0},  // the document reader wants a value here
      {"[1, 2 /* open", false, 0},
      {"[1 / 2]", false, 0},
      {"[1, ]", false, 0},
      {"[1 2]", false, 0},
      {"[1] 2", false, 0},
  };
  for (const Case& c : cases) {
    size_t count = 0;
    EXPECT_EQ(readsArray(c.text, &count), c.read) << c.text;
    if (c.read) {
      EXPECT_EQ(count, c.count) << c.text;
    }
  }
}

}  // namespace
}  // namespace host::json_source
