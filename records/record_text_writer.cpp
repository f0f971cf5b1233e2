#include "records/record_text_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "app/platform/symbols.h"

namespace {

char lowerHexDigit(unsigned digit) { return "0123456789abcdef"[digit & 0xF]; }

// The escape of a byte that JSON does not allow bare in a string, or 0 for a \u00xx escape.
char shortEscape(unsigned char byte) {
  switch (byte) {
    case '"':
      return '"';
    case '\\':
      return '\\';
    case '\b':
      return 'b';
    case '\f':
      return 'f';
    case '\n':
      return 'n';
    case '\r':
      return 'r';
    case '\t':
      return 't';
    default:
      return 0;
  }
}

// True when one of the 8 bytes of word is below 0x20 (zero included), a quote or a
// backslash: the bytes that a string can't hold bare, or that end it.
bool anyByteToEscape(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighs = 0x8080808080808080u;
  const auto anyZero = [](uint64_t v) { return ((v - kOnes) & ~v & kHighs) != 0; };
  const bool anyBelowSpace = ((word - kOnes * 0x20) & ~word & kHighs) != 0;
  return anyBelowSpace || anyZero(word ^ (kOnes * '"')) || anyZero(word ^ (kOnes * '\\'));
}

// Writes the bytes of text escaped at at (room for 6 * size bytes), up to its first zero
// byte; returns the end, and sets ended when a zero byte stopped it.
char* escaped(char* at, std::string_view text, bool& ended) {
  // Runs of eight plain bytes, the usual case, are copied whole.
  while (text.size() >= 8) {
    uint64_t word = 0;
    std::memcpy(&word, text.data(), 8);
    if (anyByteToEscape(word)) break;
    std::memcpy(at, &word, 8);
    at += 8;
    text.remove_prefix(8);
  }
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != '"' && byte != '\\') {
      *at++ = c;
      continue;
    }
    if (byte == 0) {
      ended = true;
      break;
    }
    *at++ = '\\';
    if (const char escape = shortEscape(byte)) {
      *at++ = escape;
      continue;
    }
    std::memcpy(at, "u00", 3);
    at[3] = lowerHexDigit(byte >> 4);
    at[4] = lowerHexDigit(byte);
    at += 5;
  }
  return at;
}

// Writes what text holds inside a string at at (room for 6 * its size bytes, or its size
// when quoted) and returns the end: a quoted text less its two quotes, any other text escaped,
// up to its first zero byte, which sets ended.
TOLVANE_ALWAYS_INLINE char* putInside(char* at, const RecordTextWriter::Text& text, bool& ended) {
  const std::string_view bytes = text.text();
  if (!text.quoted()) return escaped(at, bytes, ended);
  const std::string_view inside = bytes.substr(1, bytes.size() - 2);
  std::memcpy(at, inside.data(), inside.size());
  return at + inside.size();
}

// Writes text as a string at at (room for 2 + 6 * its size bytes, or its size when quoted);
// returns the end.
char* putString(char* at, const RecordTextWriter::Text& text) {
  if (text.quoted()) {
    std::memcpy(at, text.text().data(), text.text().size());
    return at + text.text().size();
  }
  bool ended = false;
  *at++ = '"';
  at = putInside(at, text, ended);
  *at++ = '"';
  return at;
}

// The room putString needs for text.
size_t stringRoom(const RecordTextWriter::Text& text) {
  return text.quoted() ? text.text().size() : 2 + 6 * text.text().size();
}

}  // namespace

RecordTextWriter::RecordTextWriter(std::string& text) : m_text(text) {}

RecordTextWriter::EntryLead::EntryLead(size_t indent) : size(3 + indent) {
  std::memcpy(bytes, ",\r\n", 3);
  std::memset(bytes + 3, '\t', sizeof bytes - 3);
}

char* RecordTextWriter::EntryLead::PutFirst(char* at) const {
  std::memcpy(at, bytes + 1, size - 1);
  return at + size - 1;
}

void RecordTextWriter::SameEntries(size_t count, std::string_view scalar) {
  if (count == 0) return;
  Level& level = ArrayLevel();
  const EntryLead lead(m_indent);
  char* at = Reserve(count * (lead.size + scalar.size()));
  if (!level.hasEntry) {
    at = lead.PutFirst(at);
    std::memcpy(at, scalar.data(), scalar.size());
    at += scalar.size();
    level.hasEntry = true;
    --count;
  }
  const size_t entrySize = lead.size + scalar.size();
  const size_t total = count * entrySize;
  if (total != 0) {
    std::memcpy(lead.Put(at), scalar.data(), scalar.size());
    for (size_t done = entrySize; done < total; done *= 2)
      std::memcpy(at + done, at, std::min(done, total - done));
  }
  Commit(at + total);
}

void RecordTextWriter::Grow(size_t needed) {
  m_text.resize(std::max({m_text.size() * 2, needed, size_t{4096}}));
}

// The line (unless the container starts a fresh one) and the bracket in one reservation.
void RecordTextWriter::Open(Level& level) {
  if (level.opened) return;
  char* at = Reserve(kLineRoom + m_indent + 1);
  if (!level.freshLine) at = PutLine(at);
  *at++ = level.isArray ? '[' : '{';
  Commit(at);
  ++m_indent;
  level.opened = true;
}

// An array entry starts a line of its own (after the comma of the entry before it); an
// object member's value follows its key on the key's line; the root stands at the start.
bool RecordTextWriter::BeforeValue() {
  if (m_depth == 0) return true;
  Level& level = m_levels[m_depth - 1];
  if (!level.isArray) return false;
  Open(level);
  Commit(PutEntryStart(level, Reserve(1 + kLineRoom + m_indent)));
  return true;
}

void RecordTextWriter::Key(const Text& key) {
  Level& level = m_levels[m_depth - 1];
  Open(level);
  // One reservation: a comma, the line, the quoted key and " : ".
  char* at = PutEntryStart(level, Reserve(1 + kLineRoom + m_indent + stringRoom(key) + 3));
  at = putString(at, key);
  std::memcpy(at, " : ", 3);
  Commit(at + 3);
}

void RecordTextWriter::Begin(bool isArray) {
  if (m_depth == kMaxDepth) throw std::length_error("record text nested too deeply");
  const bool freshLine = BeforeValue();
  m_levels[m_depth++] = Level{isArray, false, freshLine, false};
}

// The line and the bracket, or the empty container, in one reservation.
void RecordTextWriter::End() {
  const Level level = m_levels[--m_depth];
  char* at = Reserve(kLineRoom + m_indent + 2);
  if (!level.opened) {
    std::memcpy(at, level.isArray ? "[]" : "{}", 2);
    return Commit(at + 2);
  }
  --m_indent;
  at = PutLine(at);
  *at++ = level.isArray ? ']' : '}';
  Commit(at);
}

void RecordTextWriter::BeginObject() { Begin(false); }
void RecordTextWriter::EndObject() { End(); }
void RecordTextWriter::BeginArray() { Begin(true); }
void RecordTextWriter::EndArray() { End(); }

// BeforeValue and room for the value in one reservation: the scalars of large arrays take
// this path once per entry.
char* RecordTextWriter::ScalarAt(size_t room) {
  if (m_depth == 0 || !m_levels[m_depth - 1].isArray) return Reserve(room);
  Level& level = m_levels[m_depth - 1];
  Open(level);
  return PutEntryStart(level, Reserve(1 + kLineRoom + m_indent + room));
}

void RecordTextWriter::String(const Text& text) {
  Commit(putString(ScalarAt(stringRoom(text)), text));
}

// The two texts inside one pair of quotes; a zero byte within the first ends the string there.
void RecordTextWriter::String(const Text& first, const Text& second) {
  if (first.quoted() || (second.quoted() && second.text().size() < 2))
    throw std::logic_error("joined record texts: the first given quoted, or a bad quoted text");
  char* at = ScalarAt(stringRoom(first) + stringRoom(second));
  bool ended = false;
  *at++ = '"';
  at = putInside(at, first, ended);
  if (!ended) at = putInside(at, second, ended);
  *at++ = '"';
  Commit(at);
}

std::string RecordTextWriter::Quote(std::string_view text) {
  std::string out(2 + 6 * text.size(), '\0');
  out.resize(static_cast<size_t>(putString(out.data(), Text(text)) - out.data()));
  return out;
}

void RecordTextWriter::Integer(int64_t value) {
  char* at = ScalarAt(24);
  Commit(std::to_chars(at, at + 24, value).ptr);
}

void RecordTextWriter::Unsigned(uint64_t value) {
  char* at = ScalarAt(24);
  Commit(std::to_chars(at, at + 24, value).ptr);
}

void RecordTextWriter::Real(double value) {
  Commit(record_text::PutReal(ScalarAt(kRealRoom), value));
}

RecordTextWriter::Level& RecordTextWriter::ArrayLevel() {
  if (m_depth == 0 || !m_levels[m_depth - 1].isArray)
    throw std::logic_error("record text entries outside an array");
  Level& level = m_levels[m_depth - 1];
  Open(level);
  return level;
}

char* RecordTextWriter::PutReal(char* at, double value) { return record_text::PutReal(at, value); }

char* RecordTextWriter::PutLongUnsigned(char* at, uint64_t value) {
  return std::to_chars(at, at + kUnsignedRoom, value).ptr;
}

void RecordTextWriter::Boolean(bool value) {
  BeforeValue();
  value ? Append("true", 4) : Append("false", 5);
}

void RecordTextWriter::Null() {
  BeforeValue();
  Append("null", 4);
}

std::string_view RecordTextWriter::Finish() const {
  return std::string_view(m_text.data(), m_used);
}
