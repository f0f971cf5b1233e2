#include "testing/record_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// The text grows in one buffer that is written through raw pointers: Reserve makes room
// for at least n more bytes and returns where they go, Commit records how many were used.
// This keeps the per-value cost to a bounds check instead of a string append per piece.
class TextBuffer {
 public:
  explicit TextBuffer(size_t expectedSize) { m_text.resize(expectedSize); }

  char* Reserve(size_t n) {
    if (m_used + n > m_text.size()) m_text.resize(std::max(m_text.size() * 2, m_used + n));
    return m_text.data() + m_used;
  }
  void Commit(const char* end) { m_used = static_cast<size_t>(end - m_text.data()); }

  void Append(const char* text, size_t size) {
    char* at = Reserve(size);
    std::memcpy(at, text, size);
    Commit(at + size);
  }
  void Append(char c) {
    char* at = Reserve(1);
    *at = c;
    Commit(at + 1);
  }

  std::string Finish() && {
    m_text.resize(m_used);
    return std::move(m_text);
  }

 private:
  std::string m_text;
  size_t m_used = 0;
};

// One lower-case hexadecimal digit, for the \u00xx escape of control bytes.
char lowerHexDigit(unsigned digit) { return "0123456789abcdef"[digit & 0xF]; }

// Writes a quoted string; the text ends at end or at its first zero byte, whichever is first.
void appendQuoted(TextBuffer& out, const char* text, const char* end) {
  const size_t size = static_cast<size_t>(end - text);
  char* at = out.Reserve(2 + 6 * size);
  *at++ = '"';
  for (; text != end; ++text) {
    const unsigned char byte = static_cast<unsigned char>(*text);
    if (byte >= 0x20 && byte != '"' && byte != '\\') {
      *at++ = static_cast<char>(byte);
      continue;
    }
    if (byte == 0) break;
    *at++ = '\\';
    switch (byte) {
      case '"':
        *at++ = '"';
        break;
      case '\\':
        *at++ = '\\';
        break;
      case '\b':
        *at++ = 'b';
        break;
      case '\f':
        *at++ = 'f';
        break;
      case '\n':
        *at++ = 'n';
        break;
      case '\r':
        *at++ = 'r';
        break;
      case '\t':
        *at++ = 't';
        break;
      default:
        std::memcpy(at, "u00", 3);
        at[3] = lowerHexDigit(byte >> 4);
        at[4] = lowerHexDigit(byte);
        at += 5;
    }
  }
  *at++ = '"';
  out.Commit(at);
}

// Writes a real into at (room for 32 bytes) and returns the end of what was written.
char* formatReal(char* at, double value) {
  if (!std::isfinite(value)) {
    const char* text = value > 0 ? "1e+9999" : "-1e+9999";
    const size_t size = std::strlen(text);
    std::memcpy(at, text, size);
    return at + size;
  }
  // std::to_chars with a precision formats as printf's "%.17g" does, always with a point,
  // whatever the locale.
  char* end = std::to_chars(at, at + 32, value, std::chars_format::general, 17).ptr;
  for (const char* c = at; c != end; ++c) {
    if (*c == '.' || *c == 'e') return end;
  }
  std::memcpy(end, ".0", 2);
  return end + 2;
}

class RecordWriter {
 public:
  explicit RecordWriter(TextBuffer& out) : m_out(out) {}

  // freshLine: the output stands at the start of a line just begun, so the bracket of a
  // non-empty array or object goes here rather than on a line of its own.
  void WriteValue(const Json::Value& value, bool freshLine) {
    switch (value.type()) {
      case Json::nullValue:
        m_out.Append("null", 4);
        break;
      case Json::booleanValue:
        value.asBool() ? m_out.Append("true", 4) : m_out.Append("false", 5);
        break;
      case Json::intValue:
        WriteInteger(value.asLargestInt());
        break;
      case Json::uintValue:
        WriteInteger(value.asLargestUInt());
        break;
      case Json::realValue:
        WriteReal(value.asDouble());
        break;
      case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        value.getString(&begin, &end);
        appendQuoted(m_out, begin, end);
        break;
      }
      case Json::arrayValue:
        WriteArray(value, freshLine);
        break;
      case Json::objectValue:
        WriteObject(value, freshLine);
        break;
    }
  }

 private:
  template <typename Integer>
  void WriteInteger(Integer number) {
    char* at = m_out.Reserve(24);
    m_out.Commit(std::to_chars(at, at + 24, number).ptr);
  }

  void WriteReal(double value) { m_out.Commit(formatReal(m_out.Reserve(32), value)); }

  void NewLine() {
    char* at = m_out.Reserve(2 + m_depth);
    at[0] = '\r';
    at[1] = '\n';
    std::memset(at + 2, '\t', m_depth);
    m_out.Commit(at + 2 + m_depth);
  }

  // The members come in the order of jsoncpp's object map, which compares keys as unsigned
  // bytes with a prefix first: the order the record text form asks for.
  void WriteObject(const Json::Value& object, bool freshLine) {
    if (object.empty()) return m_out.Append("{}", 2);
    if (!freshLine) NewLine();
    m_out.Append('{');
    ++m_depth;
    size_t remaining = object.size();
    for (auto member = object.begin(); member != object.end(); ++member) {
      NewLine();
      const char* keyEnd = nullptr;
      const char* key = member.memberName(&keyEnd);
      appendQuoted(m_out, key, keyEnd);
      m_out.Append(" : ", 3);
      WriteValue(*member, false);
      if (--remaining != 0) m_out.Append(',');
    }
    --m_depth;
    NewLine();
    m_out.Append('}');
  }

  void WriteArray(const Json::Value& array, bool freshLine) {
    if (array.empty()) return m_out.Append("[]", 2);
    if (!freshLine) NewLine();
    m_out.Append('[');
    ++m_depth;
    size_t remaining = array.size();
    for (const Json::Value& element : array) {
      NewLine();
      WriteValue(element, true);
      if (--remaining != 0) m_out.Append(',');
    }
    --m_depth;
    NewLine();
    m_out.Append(']');
  }

  TextBuffer& m_out;
  size_t m_depth = 0;
};

// A first guess of the text's size: about 24 bytes per entry of the root's containers and of
// their containers, so that a geometry record is written without regrowing the buffer.
size_t expectedTextSize(const Json::Value& document) {
  size_t entries = 1;
  if (document.isObject() || document.isArray()) {
    for (const Json::Value& child : document) {
      entries += 1 + ((child.isArray() || child.isObject()) ? child.size() : 0);
    }
  }
  return 256 + entries * 24;
}

}  // namespace

std::string toRecordText(const Json::Value& document) {
  TextBuffer out(expectedTextSize(document));
  RecordWriter(out).WriteValue(document, true);
  return std::move(out).Finish();
}
