#include "import/geo_tokens.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace geo_tokens {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether every digit before the exponent is 0: a real that reads as 0 only then is exact.
bool isZero(const char* start, const char* end) {
  for (const char* p = start; p < end && *p != 'e' && *p != 'E'; ++p)
    if (*p >= '1' && *p <= '9') return false;
  return true;
}

// Four hexadecimal digits, as Json::Reader reads them after "\u".
bool hexUnit(const char*& current, const char* end, unsigned* unit) {
  if (end - current < 4) return false;
  *unit = 0;
  for (int i = 0; i < 4; ++i) {
    char c = *current++;
    *unit *= 16;
    if (c >= '0' && c <= '9')
      *unit += static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      *unit += static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      *unit += static_cast<unsigned>(c - 'A' + 10);
    else
      return false;
  }
  return true;
}

// A code point as UTF-8, as Json::Reader writes it into a decoded string.
void appendUtf8(unsigned cp, std::string* out) {
  auto byte = [](unsigned b) { return static_cast<char>(b); };
  if (cp <= 0x7F) {
    out->push_back(byte(cp));
  } else if (cp <= 0x7FF) {
    out->push_back(byte(0xC0 | (0x1F & (cp >> 6))));
    out->push_back(byte(0x80 | (0x3F & cp)));
  } else if (cp <= 0xFFFF) {
    out->push_back(byte(0xE0 | (0xF & (cp >> 12))));
    out->push_back(byte(0x80 | (0x3F & (cp >> 6))));
    out->push_back(byte(0x80 | (0x3F & cp)));
  } else if (cp <= 0x10FFFF) {
    out->push_back(byte(0xF0 | (0x7 & (cp >> 18))));
    out->push_back(byte(0x80 | (0x3F & (cp >> 12))));
    out->push_back(byte(0x80 | (0x3F & (cp >> 6))));
    out->push_back(byte(0x80 | (0x3F & cp)));
  }
}

}  // namespace

bool Tokenizer::match(const char* pattern, int length) {
  if (end_ - cur_ < length) return false;
  for (int i = 0; i < length; ++i)
    if (cur_[i] != pattern[i]) return false;
  cur_ += length;
  return true;
}

Token Tokenizer::readNumberToken() {
  Token token;
  token.type = Tok::Number;
  token.start = cur_++;
  readNumber();
  token.end = cur_;
  return token;
}

bool Tokenizer::readToken(Token& token) {
  skipSpaces();
  token.start = cur_;
  bool ok = true;
  switch (next()) {
    // clang-format off
    case '{': token.type = Tok::ObjectBegin; break;
    case '}': token.type = Tok::ObjectEnd; break;
    case '[': token.type = Tok::ArrayBegin; break;
    case ']': token.type = Tok::ArrayEnd; break;
    case '"': token.type = Tok::String; ok = readString(); break;
    case '/': token.type = Tok::Comment; ok = readComment(); break;
    case '0': case '1': case '2': case '3': case '4':
    case '5': case '6': case '7': case '8': case '9':
    case '-': token.type = Tok::Number; readNumber(); break;
    case 't': token.type = Tok::True; ok = match("rue", 3); break;
    case 'f': token.type = Tok::False; ok = match("alse", 4); break;
    case 'n': token.type = Tok::Null; ok = match("ull", 3); break;
    case ',': token.type = Tok::ArraySeparator; break;
    case ':': token.type = Tok::MemberSeparator; break;
    case '\0': token.type = Tok::EndOfStream; break;  // the end, or a zero byte
    default: ok = false; break;
      // clang-format on
  }
  if (!ok) token.type = Tok::Error;
  token.end = cur_;
  return ok;
}

// After "/": "/*" runs to the first "*/", but a comment whose text ends before that closes on
// the text's last byte if that byte is "/"; "//" runs to the end of the line.
bool Tokenizer::readComment() {
  char c = next();
  if (c == '*') {
    while (cur_ + 1 < end_) {
      char d = next();
      if (d == '*' && *cur_ == '/') break;
    }
    return next() == '/';
  }
  if (c != '/') return false;
  while (cur_ != end_) {
    char d = next();
    if (d == '\n') break;
    if (d == '\r') {
      if (cur_ != end_ && *cur_ == '\n') ++cur_;
      break;
    }
  }
  return true;
}

bool Tokenizer::readString() {
  char c = '\0';
  while (cur_ != end_) {
    c = next();
    if (c == '\\')
      next();
    else if (c == '"')
      break;
  }
  return c == '"';
}

// A number token: a sign or digit (already read), digits, an optional fraction and exponent,
// each of which may hold no digits at all.
void Tokenizer::readNumber() {
  const char* p = cur_;
  char c = '0';
  auto step = [&] { c = (cur_ = p) < end_ ? *p++ : '\0'; };
  while (isDigit(c)) step();
  if (c == '.') {
    step();
    while (isDigit(c)) step();
  }
  if (c == 'e' || c == 'E') {
    step();
    if (c == '+' || c == '-') step();
    while (isDigit(c)) step();
  }
}

namespace {

// Json::Reader reads a real through a C++ stream in the classic locale: correctly rounded,
// refused on overflow, and accepting a prefix of some odd tokens. Only the plain form
// -?D+(.D*)?([eE][+-]?D+)? is decoded here, where the stream and from_chars agree; overflow,
// underflow and every other form are Unsure.
Decoded decodeReal(const Token& token, Number* number) {
  const char* p = token.start + (*token.start == '-');
  const char* digits = p;
  while (p < token.end && isDigit(*p)) ++p;
  bool plain = p > digits;
  if (plain && p < token.end && *p == '.')
    for (++p; p < token.end && isDigit(*p);) ++p;
  if (plain && p < token.end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < token.end && (*p == '+' || *p == '-')) ++p;
    const char* exponent = p;
    while (p < token.end && isDigit(*p)) ++p;
    plain = p > exponent;
  }
  if (!plain || p != token.end) return Decoded::Unsure;
  double value = 0.0;
  auto [end, error] = std::from_chars(token.start, token.end, value);
  if (error != std::errc() || end != token.end || !std::isfinite(value) ||
      (value == 0.0 && !isZero(token.start, token.end)))
    return Decoded::Unsure;
  number->kind = Number::Kind::Real;
  number->d = value;
  return Decoded::Ok;
}

// Four hexadecimal digits after "\u", and the second half of a surrogate pair.
bool decodeEscape(const char*& current, const char* end, unsigned* unit) {
  if (!hexUnit(current, end, unit)) return false;
  if (*unit < 0xD800 || *unit > 0xDBFF) return true;
  if (end - current < 6) return false;
  if (*current++ != '\\' || *current++ != 'u') return false;
  unsigned low = 0;
  if (!hexUnit(current, end, &low)) return false;
  *unit = 0x10000 + ((*unit & 0x3FF) << 10) + (low & 0x3FF);
  return true;
}

}  // namespace

// Digits only: a 64-bit integer when it fits (by Json::Reader's own test, which sends some
// numbers that would fit to the real decoding); anything else is a real.
Decoded decodeNumber(const Token& token, Number* number) {
  const char* p = token.start;
  const bool negative = *p == '-';
  if (negative) ++p;
  const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                  : std::numeric_limits<uint64_t>::max();
  const uint64_t threshold = limit / 10;
  uint64_t value = 0;
  while (p < token.end) {
    char c = *p++;
    if (!isDigit(c)) return decodeReal(token, number);
    unsigned digit = static_cast<unsigned>(c - '0');
    if (value >= threshold && (value > threshold || p != token.end || digit > limit % 10))
      return decodeReal(token, number);
    value = value * 10 + digit;
  }
  if (negative && value == limit) {
    number->i = std::numeric_limits<int64_t>::min();
  } else if (negative) {
    number->i = -static_cast<int64_t>(value);
  } else if (value <= uint64_t(std::numeric_limits<int32_t>::max())) {
    number->i = static_cast<int64_t>(value);
  } else {
    number->kind = Number::Kind::UInt;
    number->u = value;
  }
  return Decoded::Ok;
}

// Escapes as Json::Reader decodes them: a \u of a high surrogate takes the next six bytes as
// a second \u escape, whatever its value; a lone low surrogate stands for itself.
bool decodeString(const Token& token, std::string* decoded) {
  const char* current = token.start + 1;
  const char* end = token.end - 1;
  if (decoded) decoded->clear();
  while (current != end) {
    char c = *current++;
    if (c == '"') break;
    if (c != '\\') {
      if (decoded) decoded->push_back(c);
      continue;
    }
    if (current == end) return false;
    char escape = *current++;
    switch (escape) {
      // clang-format off
      case '"': c = '"'; break;
      case '/': c = '/'; break;
      case '\\': c = '\\'; break;
      case 'b': c = '\b'; break;
      case 'f': c = '\f'; break;
      case 'n': c = '\n'; break;
      case 'r': c = '\r'; break;
      case 't': c = '\t'; break;
      // clang-format on
      case 'u': {
        unsigned unit = 0;
        if (!decodeEscape(current, end, &unit)) return false;
        if (decoded) appendUtf8(unit, decoded);
        continue;
      }
      default:
        return false;
    }
    if (decoded) decoded->push_back(c);
  }
  return true;
}

}  // namespace geo_tokens
