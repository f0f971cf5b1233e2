#include "app/message/message.h"

#include <climits>
#include <clocale>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "host/mdl.h"
#include "host/wstring.h"

// The formatter walks the format itself and hands each conversion to snprintf on its own:
// the C runtime fails a whole vsnprintf call when one wide character can't be encoded,
// which would lose the message. Here wide text is converted with the host's conversion
// (an unencodable character becomes '?'), and a conversion that can't be formatted ends
// the message after the text formatted so far.
namespace {

constexpr size_t kMaxMessageLength = kMessageBufferSize - 1;
// Enough text to decide where a message cut to kMaxMessageLength ends.
constexpr size_t kEnoughText = kMaxMessageLength + MB_LEN_MAX;

enum class Length { None, Char, Short, Long, LongLong, Max, Size, PtrDiff, LongDouble };

struct Directive {
  std::string flags;
  int width = -1;      // -1: none
  int precision = -1;  // -1: none
  bool leftAlign = false;
  Length length = Length::None;
  char conversion = 0;
};

// Reads a decimal field, or '*' from the arguments. False when the number doesn't fit.
bool readNumberField(const char*& p, va_list& args, int* value, bool* fromArgument) {
  *fromArgument = false;
  if (*p == '*') {
    ++p;
    *value = va_arg(args, int);
    *fromArgument = true;
    return true;
  }
  long long number = 0;
  while (*p >= '0' && *p <= '9') {
    number = number * 10 + (*p++ - '0');
    if (number > INT_MAX) return false;
  }
  *value = static_cast<int>(number);
  return true;
}

Length readLength(const char*& p) {
  switch (*p) {
    case 'h':
      ++p;
      if (*p == 'h') return ++p, Length::Char;
      return Length::Short;
    case 'l':
      ++p;
      if (*p == 'l') return ++p, Length::LongLong;
      return Length::Long;
    case 'q':
      return ++p, Length::LongLong;
    case 'j':
      return ++p, Length::Max;
    case 'z':
      return ++p, Length::Size;
    case 't':
      return ++p, Length::PtrDiff;
    case 'L':
      return ++p, Length::LongDouble;
    default:
      return Length::None;
  }
}

// Parses the directive after '%' and advances p past it; width and precision given as '*'
// are taken from the arguments. False for a directive this formatter doesn't know.
bool parseDirective(const char*& p, va_list& args, Directive* directive) {
  while (*p && std::strchr("-+ #0'", *p)) {
    if (*p == '-') directive->leftAlign = true;
    directive->flags.push_back(*p++);
  }
  bool fromArgument = false;
  if (!readNumberField(p, args, &directive->width, &fromArgument)) return false;
  if (fromArgument && directive->width < 0) {  // a negative width argument means left-aligned
    directive->leftAlign = true;
    directive->flags.push_back('-');
    directive->width = directive->width == INT_MIN ? INT_MAX : -directive->width;
  } else if (!fromArgument && directive->width == 0) {
    directive->width = -1;
  }
  if (*p == '.') {
    ++p;
    if (!readNumberField(p, args, &directive->precision, &fromArgument)) return false;
    if (directive->precision < 0) directive->precision = -1;  // a negative precision is none
  }
  directive->length = readLength(p);
  if (!*p || !std::strchr("diuoxXcsSCfFeEgGaAp%", *p)) return false;
  directive->conversion = *p++;
  return true;
}

// The directive as a format of its own for snprintf, with the length modifier and conversion
// that the argument read for it needs.
std::string directiveFormat(const Directive& directive, const char* lengthText, char conversion) {
  std::string text = "%" + directive.flags;
  if (directive.width >= 0) text += std::to_string(directive.width);
  if (directive.precision >= 0) text += "." + std::to_string(directive.precision);
  return text + lengthText + conversion;
}

// Formats one value with a format of one directive; false when snprintf fails.
template <typename T>
bool formatValue(std::string& out, const std::string& format, T value) {
  int size = std::snprintf(nullptr, 0, format.c_str(), value);
  if (size < 0) return false;
  std::string piece(static_cast<size_t>(size) + 1, '\0');
  if (std::snprintf(piece.data(), piece.size(), format.c_str(), value) != size) return false;
  piece.resize(static_cast<size_t>(size));
  out += piece;
  return true;
}

// The length of the longest start of text, at most limit bytes, that ends on a character
// boundary of the locale's encoding. A byte that starts no valid character counts alone.
size_t wholeCharacterPrefix(const std::string& text, size_t limit) {
  std::mbstate_t state{};
  size_t at = 0;
  while (at < text.size()) {
    size_t n = std::mbrlen(text.data() + at, text.size() - at, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      state = std::mbstate_t{};
      n = 1;
    } else if (n == 0) {
      n = 1;
    }
    if (at + n > limit) break;
    at += n;
  }
  return at;
}

// Places narrow text as a %s conversion would: precision keeps at most that many bytes
// (whole characters only), width pads with blanks.
void appendPadded(std::string& out, std::string text, const Directive& directive) {
  if (directive.precision >= 0)
    text.resize(wholeCharacterPrefix(text, static_cast<size_t>(directive.precision)));
  size_t width = directive.width < 0 ? 0 : static_cast<size_t>(directive.width);
  std::string padding(text.size() < width ? width - text.size() : 0, ' ');
  out += directive.leftAlign ? text + padding : padding + text;
}

// Wide text as locale text; null shows as the C runtime shows it.
std::string wideToLocale(const wchar_t* text) {
  if (!text) return "(null)";
  AString narrow;
  BeStringUtilities::WCharToCurrentLocaleChar(narrow, text);
  return narrow;
}

bool formatInteger(std::string& out, const Directive& directive, va_list& args) {
  bool isSigned = directive.conversion == 'd' || directive.conversion == 'i';
  char c = directive.conversion;
  switch (directive.length) {
    case Length::Long:
      return isSigned ? formatValue(out, directiveFormat(directive, "l", c), va_arg(args, long))
                      : formatValue(out, directiveFormat(directive, "l", c),
                                    va_arg(args, unsigned long));
    case Length::LongLong:
    case Length::LongDouble:
      return isSigned
                 ? formatValue(out, directiveFormat(directive, "ll", c), va_arg(args, long long))
                 : formatValue(out, directiveFormat(directive, "ll", c),
                               va_arg(args, unsigned long long));
    case Length::Max:
      return isSigned
                 ? formatValue(out, directiveFormat(directive, "j", c), va_arg(args, intmax_t))
                 : formatValue(out, directiveFormat(directive, "j", c), va_arg(args, uintmax_t));
    case Length::Size:
      return isSigned
                 ? formatValue(out, directiveFormat(directive, "z", c), va_arg(args, ptrdiff_t))
                 : formatValue(out, directiveFormat(directive, "z", c), va_arg(args, size_t));
    case Length::PtrDiff:
      return formatValue(out, directiveFormat(directive, "t", c), va_arg(args, ptrdiff_t));
    case Length::Char:
      return formatValue(out, directiveFormat(directive, "hh", c), va_arg(args, int));
    case Length::Short:
      return formatValue(out, directiveFormat(directive, "h", c), va_arg(args, int));
    default:
      return isSigned
                 ? formatValue(out, directiveFormat(directive, "", c), va_arg(args, int))
                 : formatValue(out, directiveFormat(directive, "", c), va_arg(args, unsigned int));
  }
}

bool formatConversion(std::string& out, const Directive& directive, va_list& args) {
  switch (directive.conversion) {
    case '%':
      out.push_back('%');
      return true;
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      return formatInteger(out, directive, args);
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      if (directive.length == Length::LongDouble)
        return formatValue(out, directiveFormat(directive, "L", directive.conversion),
                           va_arg(args, long double));
      return formatValue(out, directiveFormat(directive, "", directive.conversion),
                         va_arg(args, double));
    case 'p':
      return formatValue(out, directiveFormat(directive, "", 'p'), va_arg(args, void*));
    case 'S':
      appendPadded(out, wideToLocale(va_arg(args, const wchar_t*)), directive);
      return true;
    case 's':
      if (directive.length == Length::Long) {
        appendPadded(out, wideToLocale(va_arg(args, const wchar_t*)), directive);
      } else {
        const char* narrow = va_arg(args, const char*);
        appendPadded(out, narrow ? narrow : "(null)", directive);
      }
      return true;
    case 'C':
    case 'c':
      if (directive.conversion == 'C' || directive.length == Length::Long) {
        wchar_t wide[2] = {static_cast<wchar_t>(va_arg(args, wint_t)), L'\0'};
        appendPadded(out, wideToLocale(wide), directive);
        return true;
      }
      return formatValue(out, directiveFormat(directive, "", 'c'), va_arg(args, int));
    default:
      return false;
  }
}

// Formats the whole message into text, stopping at the first conversion that can't be
// formatted and once enough text is there to fill the buffer.
void formatMessage(std::string& text, const char* format, va_list& args) {
  const char* p = format;
  while (*p && text.size() < kEnoughText) {
    if (*p != '%') {
      text.push_back(*p++);
      continue;
    }
    ++p;
    Directive directive;
    if (!parseDirective(p, args, &directive) || !formatConversion(text, directive, args)) return;
  }
}

}  // namespace

void printMessage(const char* format, ...) {
  std::string text;
  if (format) {
    va_list args;
    va_start(args, format);
    formatMessage(text, format, args);
    va_end(args);
  }
  char buffer[kMessageBufferSize];
  size_t kept = wholeCharacterPrefix(text, kMaxMessageLength);
  std::memcpy(buffer, text.data(), kept);
  buffer[kept] = '\0';
  mdlDialog_dmsgsPrintA(buffer);
}
