#include "import/geo_tokens.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cmath>
#include <string>
#include <string_view>

namespace {

using geo_tokens::Decoded;
using geo_tokens::Number;
using geo_tokens::Tok;
using geo_tokens::Token;

// The first token of text, which must outlive the token.
Token onlyToken(std::string_view text) {
  geo_tokens::Tokenizer tokens(text);
  Token token;
  tokens.readToken(token);
  return token;
}

// Strings decode to the bytes that Json::Reader gives them.
TEST(GeoTokensTest, StringsDecodeAsJsonReaderDecodesThem) {
  for (const char* text : {R"("plain")", R"("\"\\\/\b\f\n\r\t")", R"("\u0063olors")",
                           R"("\u00e9\u20AC")", R"("\ud83d\ude00")", R"("\ud800\u0041")",
                           R"("\udc00")", R"("\u0000x")", "\"raw\x01\xff\""}) {
    SCOPED_TRACE(text);
    Token token = onlyToken(text);
    ASSERT_EQ(token.type, Tok::String);
    std::string decoded;
    ASSERT_TRUE(geo_tokens::decodeString(token, &decoded));
    Json::Value value;
    ASSERT_TRUE(Json::Reader().parse(text, value, false));
    EXPECT_EQ(decoded, value.asString());
  }
  for (const char* text : {R"("\x")", R"("\u12G4")", R"("\u123")", R"("\ud800")",
                           R"("\ud800\n12345")", R"("\ud800\u12")"}) {
    Token token = onlyToken(text);
    ASSERT_EQ(token.type, Tok::String) << text;
    EXPECT_FALSE(geo_tokens::decodeString(token, nullptr)) << text;
  }
}

// Number tokens: where they end, and the kind and value they decode to.
TEST(GeoTokensTest, NumbersDecodeAsJsonReaderDecodesThem) {
  struct Case {
    std::string text;
    std::string token;  // the bytes the token takes
    Decoded decoded;
    Number::Kind kind;
    double value;
  };
  const Case cases[] = {
      {"2147483647,", "2147483647", Decoded::Ok, Number::Kind::Int, 2147483647.0},
      {"2147483648]", "2147483648", Decoded::Ok, Number::Kind::UInt, 2147483648.0},
      {"-9223372036854775808", "-9223372036854775808", Decoded::Ok, Number::Kind::Int,
       -9223372036854775808.0},
      {"18446744073709551615", "18446744073709551615", Decoded::Ok, Number::Kind::UInt,
       18446744073709551615.0},
      {"18446744073709551616", "18446744073709551616", Decoded::Ok, Number::Kind::Real,
       18446744073709551616.0},
      {"-x", "-", Decoded::Ok, Number::Kind::Int, 0.0},
      {"007", "007", Decoded::Ok, Number::Kind::Int, 7.0},
      {"1.5e3x", "1.5e3", Decoded::Ok, Number::Kind::Real, 1500.0},
      {"1.}", "1.", Decoded::Ok, Number::Kind::Real, 1.0},
      {"-0.0", "-0.0", Decoded::Ok, Number::Kind::Real, -0.0},
      {"1e", "1e", Decoded::Unsure, Number::Kind::Int, 0.0},
      {"-.5", "-.5", Decoded::Unsure, Number::Kind::Int, 0.0},
      {"1e999", "1e999", Decoded::Unsure, Number::Kind::Int, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Token token = onlyToken(c.text);
    ASSERT_EQ(token.type, Tok::Number);
    EXPECT_EQ(std::string(token.start, token.end), c.token);
    Number number;
    ASSERT_EQ(geo_tokens::decodeNumber(token, &number), c.decoded);
    if (c.decoded != Decoded::Ok) continue;
    EXPECT_EQ(number.kind, c.kind);
    double value = number.kind == Number::Kind::Int    ? static_cast<double>(number.i)
                   : number.kind == Number::Kind::UInt ? static_cast<double>(number.u)
                                                       : number.d;
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(std::signbit(value), std::signbit(c.value));
  }
}

}  // namespace
