// The tokens of Json::Reader (jsoncpp's reader with its default features) and their decoding,
// byte for byte as that reader reads them, quirks included: the geometry record reader's
// lower level.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace geo_tokens {

enum class Tok {
  ObjectBegin,
  ObjectEnd,
  ArrayBegin,
  ArrayEnd,
  String,
  Number,
  True,
  False,
  Null,
  ArraySeparator,
  MemberSeparator,
  Comment,
  EndOfStream,
  Error
};

struct Token {
  Tok type = Tok::Error;
  const char* start = nullptr;
  const char* end = nullptr;
};

// A number as Json::Reader decodes it.
struct Number {
  enum class Kind { Int, UInt, Real } kind = Kind::Int;
  int64_t i = 0;
  uint64_t u = 0;
  double d = 0.0;
};

// How a number token decodes: Refused where Json::Reader reports an error, Unsure where only
// Json::Reader can tell (a real in an unusual form, or beyond the range of doubles).
enum class Decoded { Ok, Refused, Unsure };

// The bytes of a text as Json::Reader walks them: one token at a time from a cursor.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : cur_(text.data()), end_(text.data() + text.size()) {}

  // The next token, after spaces; false (and type Error) for a token Json::Reader refuses.
  // A zero byte reads as the end of the stream, as it does for Json::Reader.
  bool readToken(Token& token);
  // Reads tokens until one that is not a comment.
  void skipCommentTokens(Token& token) {
    do {
      readToken(token);
    } while (token.type == Tok::Comment);
  }
  void skipSpaces() {
    while (cur_ != end_ && (*cur_ == ' ' || *cur_ == '\t' || *cur_ == '\r' || *cur_ == '\n'))
      ++cur_;
  }
  // Takes the byte c if it stands at the cursor.
  bool take(char c) {
    if (cur_ == end_ || *cur_ != c) return false;
    ++cur_;
    return true;
  }
  // Whether a number token starts at the cursor; if so readNumberToken reads it.
  bool atNumber() const { return cur_ != end_ && ((*cur_ >= '0' && *cur_ <= '9') || *cur_ == '-'); }
  Token readNumberToken();

 private:
  char next() { return cur_ == end_ ? '\0' : *cur_++; }
  bool match(const char* pattern, int length);
  bool readComment();
  bool readString();
  void readNumber();

  const char* cur_;
  const char* end_;
};

// Decodes a number token as Json::Reader does.
Decoded decodeNumber(const Token& token, Number* number);

// Decodes a string token (quotes included) as Json::Reader does into decoded, when given;
// false for an escape that it refuses.
bool decodeString(const Token& token, std::string* decoded);

}  // namespace geo_tokens
