// The record text form, the one text form of every record file, written piece by piece
// straight from the records' sources. Tab indentation, object members in ascending order of
// the bytes of their keys, " : " between key and value, every non-empty array one element per
// line, reals with 17 significant digits and always a point or an exponent, CR LF line breaks,
// nothing after the document's last byte. The tests hold these bytes against a writer of
// jsoncpp document trees (testing/record_text.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "records/record_numbers.h"

class RecordTextWriter {
 public:
  // Writes into the storage of text, whose bytes are then undefined: the record is what
  // Finish gives. The storage is grown, never shrunk, so a buffer that serves record after
  // record allocates (and clears) memory only for a record larger than all before it.
  explicit RecordTextWriter(std::string& text);
  RecordTextWriter(const RecordTextWriter&) = delete;
  RecordTextWriter& operator=(const RecordTextWriter&) = delete;

  // Containers. An object's members must be given in ascending order of their keys' bytes
  // (the writer does not sort), each as Key followed by one value. A container that gets no
  // entry is written as [] or {}. Nesting deeper than kMaxDepth throws std::length_error.
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // A key or string as the writer takes it: a text, escaped as it is written, or a text in
  // the form Quote gives, copied as it stands. A text that several records write, such as an
  // element's code, is quoted once and then given in that form.
  class Text {
   public:
    Text(const char* text) : m_text(text) {}         // NOLINT: texts convert implicitly
    Text(std::string_view text) : m_text(text) {}    // NOLINT
    Text(const std::string& text) : m_text(text) {}  // NOLINT
    // A text in the form Quote gives, quotes included.
    static Text Quoted(std::string_view quoted) { return Text(quoted, true); }

    // The text, or for the quoted form the quoted text.
    std::string_view text() const { return m_text; }
    bool quoted() const { return m_quoted; }

   private:
    Text(std::string_view text, bool quoted) : m_text(text), m_quoted(quoted) {}
    std::string_view m_text;
    bool m_quoted = false;
  };
  // text as String writes it, quotes included, for Text::Quoted.
  static std::string Quote(std::string_view text);

  void Key(const Text& key);

  // Scalars. A string is written up to its first zero byte.
  void String(const Text& text);
  void String(const Text& first, const Text& second);  // the two texts joined
  void Integer(int64_t value);
  void Unsigned(uint64_t value);
  void Real(double value);
  void Boolean(bool value);
  void Null();

  // count scalar entries of the array being written, in one reservation: put(at, i) writes
  // entry i (at most room bytes) at at and returns its end; it is called for i = 0, 1, ... in
  // that order. For the long arrays of numbers.
  // Throws std::logic_error when no array is being written.
  template <typename Put>
  void Entries(size_t count, size_t room, Put put) {
    if (count == 0) return;
    Level& level = ArrayLevel();
    // Every entry starts with the same bytes: a comma, a line break and the indentation.
    EntryLead lead(m_indent);
    char* at = Reserve(count * (lead.size + room));
    size_t i = 0;
    if (!level.hasEntry) at = put(lead.PutFirst(at), i++);
    level.hasEntry = true;
    for (; i < count; ++i) at = put(lead.Put(at), i);
    Commit(at);
  }
  // count scalar entries of the array being written that are all the scalar text (a number,
  // written as it stands), in one reservation: the first full entry is written and then
  // copied on in doubling runs. For long arrays of one value.
  // Throws std::logic_error when no array is being written.
  void SameEntries(size_t count, std::string_view scalar);
  // The forms of Real and Unsigned, for Entries: at must have room for kRealRoom and
  // kUnsignedRoom bytes. They return the end of what they wrote.
  static constexpr size_t kRealRoom = record_text::kRealRoom;
  static constexpr size_t kUnsignedRoom = 20;
  static char* PutReal(char* at, double value);
  // Point indices, the bulk of the unsigned entries, are mostly below 10,000: those take the
  // digit pair table here, in line, and only larger ones the library's general conversion.
  static char* PutUnsigned(char* at, uint64_t value) {
    using record_text::kDigitPairs;
    if (value < 10) {
      *at = static_cast<char>('0' + value);
      return at + 1;
    }
    if (value < 100) {
      std::memcpy(at, kDigitPairs + 2 * value, 2);
      return at + 2;
    }
    if (value < 1000) {
      *at = static_cast<char>('0' + value / 100);
      std::memcpy(at + 1, kDigitPairs + 2 * (value % 100), 2);
      return at + 3;
    }
    if (value < 10000) {
      std::memcpy(at, kDigitPairs + 2 * (value / 100), 2);
      std::memcpy(at + 2, kDigitPairs + 2 * (value % 100), 2);
      return at + 4;
    }
    return PutLongUnsigned(at, value);
  }

  // PutReal for arrays whose values repeat, as the coordinates of a mesh's points do (the
  // corners of a box, the rings of a solid share theirs): the text of each real is kept in a
  // small table by the real's bits, so that a real met again is copied rather than formatted.
  // Put gives exactly the bytes of PutReal. Good for one record: a memo is cheap to make.
  class RealMemo {
   public:
    char* Put(char* at, double value) {
      uint64_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      const size_t slot = (bits * 0x9E3779B97F4A7C15u) >> (64 - kSlotBits);
      if (m_sizes[slot] != 0 && m_bits[slot] == bits) {
        std::memcpy(at, m_texts[slot], kTextRoom);  // a fixed size: a few moves, no call
        return at + m_sizes[slot];
      }
      char* end = PutReal(at, value);
      m_bits[slot] = bits;
      m_sizes[slot] = static_cast<uint8_t>(end - at);
      std::memcpy(m_texts[slot], at, kTextRoom);  // at has kRealRoom bytes, all defined
      return end;
    }

   private:
    static constexpr int kSlotBits = 8;
    static constexpr size_t kSlots = size_t{1} << kSlotBits;
    static constexpr size_t kTextRoom = 32;  // a real's text and what followed it
    static_assert(kTextRoom <= kRealRoom);
    // A slot of size 0 holds nothing yet; the texts are defined only where a size is.
    uint8_t m_sizes[kSlots] = {};
    uint64_t m_bits[kSlots] = {};
    char m_texts[kSlots][kTextRoom];
  };

  // The text written so far: the first bytes of the text given to the constructor.
  std::string_view Finish() const;

  static constexpr size_t kMaxDepth = 64;

 private:
  struct Level {
    bool isArray;
    bool opened;     // its bracket has been written
    bool freshLine;  // it began at the start of a fresh line
    bool hasEntry;
  };

  // The bytes before an array entry at an indentation: ",\r\n" and the tabs.
  struct EntryLead {
    explicit EntryLead(size_t indent);
    char* PutFirst(char* at) const;  // the lead without its comma
    char* Put(char* at) const {
      std::memcpy(at, bytes, size);
      return at + size;
    }
    char bytes[3 + kMaxDepth];
    size_t size;
  };

  static char* PutLongUnsigned(char* at, uint64_t value);
  // Room for size more bytes: the text grows only when a record outgrows all before it.
  char* Reserve(size_t size) {
    if (m_used + size > m_text.size()) Grow(m_used + size);
    return m_text.data() + m_used;
  }
  void Grow(size_t needed);
  void Commit(char* end) { m_used = static_cast<size_t>(end - m_text.data()); }
  void Append(const char* bytes, size_t size) {
    char* at = Reserve(size);
    std::memcpy(at, bytes, size);
    Commit(at + size);
  }
  static constexpr size_t kLineRoom = 2;
  // A line break and the indentation at at, which has room for kLineRoom + m_indent bytes.
  char* PutLine(char* at) const {
    std::memcpy(at, "\r\n", 2);
    std::memset(at + 2, '\t', m_indent);
    return at + 2 + m_indent;
  }
  // The start of an entry of level at at (room for 1 + kLineRoom + m_indent bytes): the comma
  // that all but its first entry take, then the line; where the entry goes.
  char* PutEntryStart(Level& level, char* at) const {
    *at = ',';
    at += level.hasEntry ? 1 : 0;
    level.hasEntry = true;
    return PutLine(at);
  }
  bool BeforeValue();  // places the next value; true when it stands at a fresh line's start
  char* ScalarAt(size_t room);  // places a scalar of at most room bytes; where it goes
  void Open(Level& level);
  Level& ArrayLevel();  // the array being written, opened
  void Begin(bool isArray);
  void End();

  std::string& m_text;
  size_t m_used = 0;
  size_t m_indent = 0;
  size_t m_depth = 0;
  Level m_levels[kMaxDepth];
};
