#include "import/geo_scanner.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

// Json::Reader raises an exception when it starts a value inside this many containers.
constexpr int kNestingLimit = 1000;

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

// Where a value goes: nowhere (only checked), the record's root, one of its lists, or an
// entry of one of its lists.
struct Target {
  enum class Kind { Ignore, Root, Member, Entry } kind = Kind::Ignore;
  GeoRecord* record = nullptr;
  GeoList* list = nullptr;
  bool indexes = false;  // the list keeps indexes rather than values
};

void makeOther(GeoList* list) {
  list->kind = GeoList::Kind::Other;
  list->size = 0;
  list->values.clear();
  list->indexes.clear();
  list->indexesFit = true;
}

void startNumbers(GeoList* list) {
  makeOther(list);
  list->kind = GeoList::Kind::Numbers;
}

void push(const Target& target, double value, int32_t index, bool fits) {
  GeoList* list = target.list;
  if (list->kind != GeoList::Kind::Numbers) return;
  ++list->size;
  if (target.indexes) {
    list->indexes.push_back(fits ? index : 0);
    list->indexesFit = list->indexesFit && fits;
  } else {
    list->values.push_back(value);
  }
}

void pushNumber(const Target& target, const Number& number) {
  switch (number.kind) {
    case Number::Kind::Int: {
      bool fits = number.i >= std::numeric_limits<int32_t>::min() &&
                  number.i <= std::numeric_limits<int32_t>::max();
      push(target, static_cast<double>(number.i), static_cast<int32_t>(number.i), fits);
      return;
    }
    case Number::Kind::UInt:  // above the 32-bit range whenever the kind is UInt
      push(target, static_cast<double>(number.u), 0, false);
      return;
    case Number::Kind::Real: {
      double truncated = std::trunc(number.d);
      bool fits = truncated >= std::numeric_limits<int32_t>::min() &&
                  truncated <= std::numeric_limits<int32_t>::max();
      push(target, number.d, fits ? static_cast<int32_t>(truncated) : 0, fits);
      return;
    }
  }
}

// The reader itself: the same token rules and the same grammar, quirks included, as
// Json::Reader with its default features, but every value goes to its target instead of a
// document. The first error ends the reading (Json::Reader then only skips tokens).
class Scanner {
 public:
  explicit Scanner(std::string_view text) : cur_(text.data()), end_(text.data() + text.size()) {}

  GeoParse Scan(GeoRecord* record) {
    *record = GeoRecord();
    Target root;
    root.kind = Target::Kind::Root;
    root.record = record;
    // What follows the root is read by Json::Reader as comments or one token, never judged.
    return readValue(0, root) ? GeoParse::Parsed : status_;
  }

 private:
  bool fail(GeoParse status) {
    status_ = status;
    return false;
  }

  char next() { return cur_ == end_ ? '\0' : *cur_++; }

  void skipSpaces() {
    while (cur_ != end_ && (*cur_ == ' ' || *cur_ == '\t' || *cur_ == '\r' || *cur_ == '\n'))
      ++cur_;
  }

  bool match(const char* pattern, int length) {
    if (end_ - cur_ < length) return false;
    for (int i = 0; i < length; ++i)
      if (cur_[i] != pattern[i]) return false;
    cur_ += length;
    return true;
  }

  bool readToken(Token& token);
  bool readComment();
  bool readString();
  void readNumber();
  void skipCommentTokens(Token& token) {
    do {
      readToken(token);
    } while (token.type == Tok::Comment);
  }

  bool readValue(int depth, const Target& target);
  bool readObject(int depth, GeoRecord* record);
  bool readArray(int depth, const Target& entries, bool* nonEmpty);
  bool readEntry(int depth, const Target& entries);
  bool decodeNumber(const Token& token, Number* number);
  bool decodeReal(const Token& token, Number* number);
  bool decodeString(const Token& token, std::string* decoded);
  bool decodeEscape(const char*& current, const char* end, unsigned* unit);

  const char* cur_;
  const char* end_;
  GeoParse status_ = GeoParse::Refused;
};

bool Scanner::readToken(Token& token) {
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
bool Scanner::readComment() {
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

bool Scanner::readString() {
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
void Scanner::readNumber() {
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

bool Scanner::readValue(int depth, const Target& target) {
  if (depth >= kNestingLimit) return fail(GeoParse::TooDeep);
  Token token;
  skipCommentTokens(token);
  const bool entry = target.kind == Target::Kind::Entry;
  const bool member = target.kind == Target::Kind::Member;
  switch (token.type) {
    case Tok::ObjectBegin:
      if (entry || member) makeOther(target.list);
      return readObject(depth, target.kind == Target::Kind::Root ? target.record : nullptr);
    case Tok::ArrayBegin: {
      Target entries;
      if (member) {
        startNumbers(target.list);
        entries = target;
        entries.kind = Target::Kind::Entry;
      } else if (entry) {
        makeOther(target.list);
      }
      bool nonEmpty = false;
      if (!readArray(depth, entries, &nonEmpty)) return false;
      if (target.kind == Target::Kind::Root && nonEmpty)
        target.record->root = GeoRecord::Root::NotObject;
      return true;
    }
    case Tok::Number: {
      Number number;
      if (!decodeNumber(token, &number)) return false;
      if (entry) pushNumber(target, number);
      if (member) makeOther(target.list);
      return true;
    }
    case Tok::String:
      if (!decodeString(token, nullptr)) return fail(GeoParse::Refused);
      if (entry || member) makeOther(target.list);
      return true;
    case Tok::True:
    case Tok::False:
    case Tok::Null: {
      if (entry) push(target, token.type == Tok::True ? 1.0 : 0.0, token.type == Tok::True, true);
      if (member) {
        makeOther(target.list);
        if (token.type == Tok::Null) target.list->kind = GeoList::Kind::Null;
      }
      return true;
    }
    default:
      return fail(GeoParse::Refused);
  }
}

bool Scanner::readObject(int depth, GeoRecord* record) {
  Token name;
  bool nameEmpty = true;  // the previous member's name, as Json::Reader keeps it
  std::string key;
  while (readToken(name)) {
    bool ok = true;
    while (name.type == Tok::Comment && ok) ok = readToken(name);
    if (!ok) break;
    if (name.type == Tok::ObjectEnd && nameEmpty) return true;  // {} or {"":1,}
    if (name.type != Tok::String) break;
    nameEmpty = name.end - name.start == 2;  // every escape decodes to at least one byte
    if (!decodeString(name, record ? &key : nullptr)) return fail(GeoParse::Refused);
    Token colon;
    if (!readToken(colon) || colon.type != Tok::MemberSeparator) return fail(GeoParse::Refused);
    Target value;
    if (record) {
      record->root = GeoRecord::Root::Object;
      value.kind = Target::Kind::Member;
      value.record = record;
      if (key == "colors") value.list = &record->colors;
      if (key == "positions") value.list = &record->positions;
      if (key == "indices") value.list = &record->indices, value.indexes = true;
      if (!value.list) value.kind = Target::Kind::Ignore;
    }
    if (!readValue(depth + 1, value)) return false;
    Token comma;
    if (!readToken(comma) || (comma.type != Tok::ObjectEnd && comma.type != Tok::ArraySeparator &&
                              comma.type != Tok::Comment)) {
      return fail(GeoParse::Refused);
    }
    // After a comment, whatever single token follows stands in for the comma.
    bool commaOk = true;
    while (comma.type == Tok::Comment && commaOk) commaOk = readToken(comma);
    if (comma.type == Tok::ObjectEnd) return true;
  }
  return fail(GeoParse::Refused);
}

bool Scanner::readArray(int depth, const Target& entries, bool* nonEmpty) {
  skipSpaces();
  if (cur_ != end_ && *cur_ == ']') {  // only spaces may stand in an empty array
    ++cur_;
    return true;
  }
  *nonEmpty = true;
  for (;;) {
    if (!readEntry(depth + 1, entries)) return false;
    skipSpaces();  // the common separators first, as readToken would read them
    if (cur_ != end_ && *cur_ == ',') {
      ++cur_;
      continue;
    }
    if (cur_ != end_ && *cur_ == ']') {
      ++cur_;
      return true;
    }
    Token token;
    bool ok = readToken(token);
    while (token.type == Tok::Comment && ok) ok = readToken(token);
    if (!ok || (token.type != Tok::ArraySeparator && token.type != Tok::ArrayEnd))
      return fail(GeoParse::Refused);
    if (token.type == Tok::ArrayEnd) return true;
  }
}

// An entry of a list: a number is read straight away, as readValue would read it; anything
// else goes through readValue.
bool Scanner::readEntry(int depth, const Target& entries) {
  if (entries.kind != Target::Kind::Entry || depth >= kNestingLimit)
    return readValue(depth, entries);
  skipSpaces();
  if (cur_ == end_ || !(isDigit(*cur_) || *cur_ == '-')) return readValue(depth, entries);
  Token token;
  token.type = Tok::Number;
  token.start = cur_++;
  readNumber();
  token.end = cur_;
  Number number;
  if (!decodeNumber(token, &number)) return false;
  pushNumber(entries, number);
  return true;
}

// Digits only: a 64-bit integer when it fits (by Json::Reader's own test, which sends some
// numbers that would fit to the real decoding); anything else is a real.
bool Scanner::decodeNumber(const Token& token, Number* number) {
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
  return true;
}

// Json::Reader reads a real through a C++ stream in the classic locale: correctly rounded,
// refused on overflow, and accepting a prefix of some odd tokens. Only the plain form
// -?D+(.D*)?([eE][+-]?D+)? is decoded here, where the stream and from_chars agree; overflow,
// underflow and every other form are Unsure.
bool Scanner::decodeReal(const Token& token, Number* number) {
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
  if (!plain || p != token.end) return fail(GeoParse::Unsure);
  double value = 0.0;
  auto [end, error] = std::from_chars(token.start, token.end, value);
  if (error != std::errc() || end != token.end || !std::isfinite(value) ||
      (value == 0.0 && !isZero(token.start, token.end)))
    return fail(GeoParse::Unsure);
  number->kind = Number::Kind::Real;
  number->d = value;
  return true;
}

// Escapes as Json::Reader decodes them: a \u of a high surrogate takes the next six bytes as
// a second \u escape, whatever its value; a lone low surrogate stands for itself.
bool Scanner::decodeString(const Token& token, std::string* decoded) {
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

// Four hexadecimal digits after "\u", and the second half of a surrogate pair.
bool Scanner::decodeEscape(const char*& current, const char* end, unsigned* unit) {
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

GeoParse scanGeoRecord(std::string_view text, GeoRecord* record) {
  return Scanner(text).Scan(record);
}
