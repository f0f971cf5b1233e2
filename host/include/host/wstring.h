// The host's text types and its conversions between wide text (Unicode) and locale text
// (the current C locale's multibyte encoding, LC_CTYPE).
#pragma once

#include <cstddef>
#include <string>

#include "host/host_types.h"

// Narrow text, in whatever encoding its maker chose (the host uses locale text).
class AString : public std::string {
 public:
  using std::string::string;
  AString() = default;
  AString(const std::string& text) : std::string(text) {}
  AString(std::string&& text) : std::string(std::move(text)) {}
};

// Wide text: a std::wstring with the host's own conveniences.
class WString : public std::wstring {
 public:
  using std::wstring::wstring;
  WString() = default;
  WString(const std::wstring& text) : std::wstring(text) {}
  WString(std::wstring&& text) : std::wstring(std::move(text)) {}
  // Narrow text made wide: UTF-8 when isUtf8, else locale text.
  WString(const char* text, bool isUtf8);
  WString(const char* text, BentleyCharEncoding encoding);

  // Replaces the content with narrow locale text made wide.
  WString& AssignA(const char* text);

  // Whether the text ends with suffix, compared without regard to case.
  bool EndsWithI(WCharCP suffix) const;
  // Replaces every occurrence of from by to; returns the number of replacements.
  size_t ReplaceAll(WCharCP from, WCharCP to);
};

struct BeStringUtilities {
  // Converts wide text to locale text into out, which holds outSize bytes. Never writes past
  // outSize, always leaves a terminating zero (when outSize > 0) and never cuts inside a
  // multibyte character; a character the locale can't encode becomes '?'. Returns out.
  static char* WCharToCurrentLocaleChar(char* out, WCharCP in, size_t outSize);
  // The whole text, however long.
  static AString& WCharToCurrentLocaleChar(AString& out, WCharCP in);
  // Locale text to wide text; a byte sequence that is not valid in the locale becomes U+FFFD.
  static WString& CurrentLocaleCharToWChar(WString& out, const char* in);
  static std::string WCharToUtf8(WCharCP in);
  static WString Utf8ToWChar(const char* in);
};
