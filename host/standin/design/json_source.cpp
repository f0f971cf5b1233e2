#include "standin/design/json_source.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace host::json_source {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendUtf8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

[[noreturn]] void unsure() { throw Unsure{}; }

// The document reader keeps a non-negative integer beyond the 32-bit range as unsigned, and
// makes its double from the upper bits and then the lowest: beyond 2^53 that can lie one step
// from the correctly rounded double (50196078431372549 gives ...544, not ...552). "-0" is the
// integer 0 to it, a positive zero. A loaded design holds what the document reader gives it.
double Number::AsDouble() const {
  if (!integral) return real;
  if (negative) return magnitude == 0 ? 0.0 : -static_cast<double>(magnitude);
  if (magnitude <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
    return static_cast<double>(magnitude);
  return static_cast<double>(static_cast<int64_t>(magnitude / 2)) * 2.0 +
         static_cast<double>(static_cast<int64_t>(magnitude & 1));
}

Source::Source(std::string_view text) : m_at(text.data()), m_end(text.data() + text.size()) {}

void Source::SkipBlanks() {
  while (m_at < m_end && (*m_at == ' ' || *m_at == '\n' || *m_at == '\r' || *m_at == '\t')) ++m_at;
}

void Source::SkipGap() {
  for (;;) {
    SkipBlanks();
    if (m_at == m_end || *m_at != '/') return;
    skipComment();
  }
}

void Source::skipComment() {
  if (m_end - m_at < 2) unsure();
  if (m_at[1] == '*') {
    const char* close = nullptr;
    for (const char* at = m_at + 2; at + 1 < m_end; ++at) {
      if (at[0] == '*' && at[1] == '/') {
        close = at;
        break;
      }
    }
    if (!close) unsure();
    m_at = close + 2;
  } else if (m_at[1] == '/') {
    m_at += 2;
    while (m_at < m_end && *m_at != '\n' && *m_at != '\r') ++m_at;
  } else {
    unsure();
  }
}

void Source::SkipByteOrderMark() {
  if (m_end - m_at >= 3 && std::memcmp(m_at, "\xEF\xBB\xBF", 3) == 0) m_at += 3;
}

void Source::expect(char c) {
  if (m_at == m_end || *m_at != c) unsure();
  ++m_at;
}

uint64_t Source::readDigits(bool* overflow, int* count) {
  uint64_t value = 0;
  *count = 0;
  for (; m_at < m_end && isDigit(*m_at); ++m_at, ++*count) {
    auto digit = static_cast<uint64_t>(*m_at - '0');
    if (value > (UINT64_MAX - digit) / 10) *overflow = true;
    value = value * 10 + digit;
  }
  return value;
}

// The strict JSON number grammar only: the document reader also takes forms such as "01"
// or "1.", which are left to it (the caller finds the stray character that follows).
Number Source::ReadNumber() {
  SkipGap();
  const char* start = m_at;
  Number number;
  if (m_at < m_end && *m_at == '-') {
    number.negative = true;
    ++m_at;
  }
  if (m_at == m_end || !isDigit(*m_at)) unsure();
  bool overflow = false;
  int count = 0;
  if (*m_at == '0') {
    ++m_at;
  } else {
    number.magnitude = readDigits(&overflow, &count);
  }
  bool real = false;
  if (m_at < m_end && *m_at == '.') {
    ++m_at;
    readDigits(&overflow, &count);
    if (count == 0) unsure();
    real = true;
  }
  if (m_at < m_end && (*m_at == 'e' || *m_at == 'E')) {
    ++m_at;
    if (m_at < m_end && (*m_at == '+' || *m_at == '-')) ++m_at;
    readDigits(&overflow, &count);
    if (count == 0) unsure();
    real = true;
  }
  if (!real) {
    // Integers beyond 64 bits become reals in the document reader; they are left to it.
    if (overflow || (number.negative && number.magnitude > (uint64_t{1} << 63))) unsure();
    number.integral = true;
    return number;
  }
  auto result = std::from_chars(start, m_at, number.real);
  if (result.ec != std::errc() || result.ptr != m_at) unsure();
  return number;
}

bool Source::ReadBool() {
  SkipGap();
  if (m_end - m_at >= 4 && std::memcmp(m_at, "true", 4) == 0) {
    m_at += 4;
    return true;
  }
  if (m_end - m_at >= 5 && std::memcmp(m_at, "false", 5) == 0) {
    m_at += 5;
    return false;
  }
  unsure();
}

bool Source::TakeNull() {
  SkipGap();
  if (m_end - m_at < 4 || std::memcmp(m_at, "null", 4) != 0) return false;
  m_at += 4;
  return true;
}

char Source::PeekValue() {
  SkipGap();
  return m_at < m_end ? *m_at : '\0';
}

std::string_view Source::ReadString() {
  SkipGap();
  return readQuoted();
}

// Plain strings are viewed in place; strings with escapes are decoded into the scratch
// buffer. Raw control characters are left to the document reader.
std::string_view Source::readQuoted() {
  expect('"');
  const char* start = m_at;
  const char* at = m_at;
  while (at < m_end && *at != '"' && *at != '\\') {
    if (static_cast<unsigned char>(*at) < 0x20) unsure();
    ++at;
  }
  if (at == m_end) unsure();
  if (*at == '"') {
    m_at = at + 1;
    return std::string_view(start, static_cast<size_t>(at - start));
  }
  m_scratch.assign(start, at);
  while (at < m_end && *at != '"') {
    if (*at == '\\') {
      decodeEscape(at);
    } else {
      if (static_cast<unsigned char>(*at) < 0x20) unsure();
      m_scratch.push_back(*at++);
    }
  }
  if (at == m_end) unsure();
  m_at = at + 1;
  return m_scratch;
}

// Decodes the escape at `at` (a backslash) into the scratch buffer and moves past it.
// Unpaired surrogates are left to the document reader.
void Source::decodeEscape(const char*& at) {
  if (m_end - at < 2) unsure();
  char kind = at[1];
  const char* simple = std::strchr("\"\\/bfnrt", kind);
  if (kind != '\0' && simple) {
    const char decoded[] = "\"\\/\b\f\n\r\t";
    m_scratch.push_back(decoded[simple - "\"\\/bfnrt"]);
    at += 2;
    return;
  }
  if (kind != 'u') unsure();
  auto hex4 = [&](const char* from) {
    if (m_end - from < 4) unsure();
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
      int digit = hexValue(from[i]);
      if (digit < 0) unsure();
      code = code * 16 + static_cast<uint32_t>(digit);
    }
    return code;
  };
  uint32_t code = hex4(at + 2);
  at += 6;
  if (code >= 0xDC00 && code <= 0xDFFF) unsure();
  if (code >= 0xD800 && code <= 0xDBFF) {
    if (m_end - at < 6 || at[0] != '\\' || at[1] != 'u') unsure();
    uint32_t low = hex4(at + 2);
    if (low < 0xDC00 || low > 0xDFFF) unsure();
    code = 0x10000 + ((code & 0x3FF) << 10) + (low & 0x3FF);
    at += 6;
  }
  appendUtf8(code, &m_scratch);
}

bool Source::begin(char open, char close) {
  SkipGap();
  expect(open);
  SkipBlanks();
  if (m_at < m_end && *m_at == close) {
    ++m_at;
    return false;
  }
  return true;
}

bool Source::next(char close) {
  SkipGap();
  if (m_at < m_end && *m_at == ',') {
    ++m_at;
    return true;
  }
  expect(close);
  return false;
}

bool Source::BeginArray() { return begin('[', ']'); }
bool Source::NextInArray() { return next(']'); }
bool Source::BeginObject() { return begin('{', '}'); }
bool Source::NextInObject() { return next('}'); }

std::string_view Source::ReadKey() {
  SkipGap();
  std::string_view key = readQuoted();
  SkipBlanks();
  expect(':');
  return key;
}

}  // namespace host::json_source
