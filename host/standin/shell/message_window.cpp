#include "standin/shell/message_window.h"

namespace host {

namespace {

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void appendEscaped(std::string& out, unsigned char byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0xF];
}

// Whether the backslash at text[i] would read as the start of an escape.
bool looksLikeEscape(std::string_view text, size_t i) {
  return i + 3 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
         isHexDigit(text[i + 2]) && isHexDigit(text[i + 3]);
}

// Whether text[i] starts the UTF-8 form of a C1 control (0xC2 0x80-0x9F).
bool startsC1(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
         static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
         static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}

}  // namespace

std::string ShownMessage(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F || (byte == '\\' && looksLikeEscape(text, i))) {
      appendEscaped(out, byte);
    } else if (startsC1(text, i)) {
      appendEscaped(out, byte);
      appendEscaped(out, static_cast<unsigned char>(text[++i]));
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace host
