// A pull reader of JSON text for the design loader's fast path: values are read in document
// order straight into the caller's structures, with no document tree. It accepts only what
// the document reader (jsoncpp, strict, comments allowed) surely accepts and reads it to the
// same values; anything else - a syntax fault, or a form whose reading it can't be sure to
// match, such as leading zeros, odd escapes or comments in unusual places - throws Unsure,
// and the caller leaves the text to the document reader, which names the fault.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <cstdint>
#include <string>
#include <string_view>

namespace host::json_source {

// Thrown when the text is to be left to the document reader.
struct Unsure {};

[[noreturn]] void unsure();

// A number as the text gives it: an integer (a whole number without fraction or exponent that
// fits 64 bits, with its sign kept apart) or a real.
struct Number {
  bool integral = false;
  bool negative = false;
  uint64_t magnitude = 0;  // integral only
  double real = 0;         // real only

  // The value as the document reader's asDouble gives it.
  double AsDouble() const;
};

class Source {
 public:
  explicit Source(std::string_view text);

  // Skips blanks (space, tab, CR, LF) and comments (// to the end of the line, /* to */).
  void SkipGap();
  // Skips blanks only: the document reader allows no comment here.
  void SkipBlanks();
  // Skips a UTF-8 byte order mark at the start.
  void SkipByteOrderMark();
  bool AtEnd() const { return m_at == m_end; }

  // Each read below starts with SkipGap, as a value may follow comments.
  Number ReadNumber();
  bool ReadBool();
  // True (and consumed) when the next value is null.
  bool TakeNull();
  // A string value, its escapes decoded. The view is valid until the next read.
  std::string_view ReadString();
  char PeekValue();  // the first character of the next value, after the gap

  // Arrays and objects: Begin consumes the opening bracket and tells whether a first entry
  // follows; Next consumes a comma (true) or the closing bracket (false). Object entries
  // start with ReadKey, which also consumes the colon.
  bool BeginArray();
  bool NextInArray();
  bool BeginObject();
  bool NextInObject();
  std::string_view ReadKey();

 private:
  void expect(char c);
  bool begin(char open, char close);  // BeginArray and BeginObject, by their brackets
  bool next(char close);              // NextInArray and NextInObject
  void skipComment();
  std::string_view readQuoted();
  void decodeEscape(const char*& at);
  uint64_t readDigits(bool* overflow, int* count);

  const char* m_at;
  const char* m_end;
  std::string m_scratch;  // decoded strings that hold escapes
};

}  // namespace host::json_source
