#include "host/wstring.h"

#include "standin/files/locale_codeset.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace {

bool equalIgnoringCase(wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); }

// Appends the locale bytes of one wide character, or '?' when the locale can't encode it.
// No encoding holds a character beyond U+10FFFF, though the C library's UTF-8 writes one as
// bytes that no UTF-8 reader takes.
void appendLocaleChar(std::string& out, wchar_t c, std::mbstate_t& state) {
  const uint32_t code = static_cast<uint32_t>(c);  // beyond U+10FFFF only where 32 bits wide
  if (code > 0x10FFFF) {
    out.push_back('?');
    return;
  }
  char bytes[MB_LEN_MAX];
  size_t n = std::wcrtomb(bytes, c, &state);
  if (n == static_cast<size_t>(-1)) {
    state = std::mbstate_t{};
    out.push_back('?');
    return;
  }
  out.append(bytes, n);
}

bool localeKeepsAscii() { return host::LocaleKeepsAscii(); }

// The length of the run of characters below U+0080 that text starts with.
template <typename Char>
size_t asciiRun(const Char* text, size_t size) {
  size_t run = 0;
  while (run < size && text[run] >= 0 && static_cast<uint32_t>(text[run]) < 0x80) ++run;
  return run;
}

// Appends count characters below U+0080 to out, each as the same code in out's characters.
template <typename Out, typename Char>
void appendAscii(Out& out, const Char* text, size_t count) {
  const size_t at = out.size();
  out.resize(at + count);
  auto* to = out.data() + at;
  for (size_t i = 0; i < count; ++i) to[i] = static_cast<typename Out::value_type>(text[i]);
}

void appendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The character that starts at *p, a surrogate pair joined where wchar_t is 16 bits (a lone
// surrogate is given as it is); *p is left on its last unit.
char32_t takeChar(WCharCP& p) {
  const auto unit = static_cast<char32_t>(*p);
  if (sizeof(wchar_t) == 2 && unit >= 0xD800 && unit <= 0xDBFF && p[1] >= 0xDC00 &&
      p[1] <= 0xDFFF) {
    ++p;
    return 0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(*p) - 0xDC00);
  }
  return unit;
}

// Appends one character to wide text: a surrogate pair where wchar_t is 16 bits.
void appendWideChar(std::wstring& out, char32_t c) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(c));
  }
}

// Decodes the UTF-8 character that bytes[0, size) starts with onto out; one that isn't
// well-formed becomes U+FFFD for its first byte. Returns the bytes read.
size_t takeUtf8(const char* bytes, size_t size, std::wstring& out) {
  char32_t c = 0;
  const size_t length = host::Utf8Sequence(std::string_view(bytes, size), &c);
  if (length == 0) {
    out.push_back(L'\uFFFD');
    return 1;
  }
  appendWideChar(out, c);
  return length;
}

// Appends the locale bytes of the character at *p (a pair where wchar_t is 16 bits), leaving
// *p on its last unit. Where locale text is UTF-8 by definition (see kLocaleTextIsUtf8), a
// character that is no Unicode character becomes '?'.
void appendLocaleCharAt(std::string& out, WCharCP& p, std::mbstate_t& state) {
  if (!host::kLocaleTextIsUtf8) return appendLocaleChar(out, *p, state);
  const char32_t c = takeChar(p);
  if (c >= 0xD800 && c <= 0xDFFF) return out.push_back('?');
  appendUtf8(out, c);
}

}  // namespace

WString::WString(const char* text, bool isUtf8) {
  if (isUtf8)
    assign(BeStringUtilities::Utf8ToWChar(text));
  else
    AssignA(text);
}

WString::WString(const char* text, BentleyCharEncoding encoding)
    : WString(text, encoding == BentleyCharEncoding::Utf8) {}

WString& WString::AssignA(const char* text) {
  WString wide;
  BeStringUtilities::CurrentLocaleCharToWChar(wide, text);
  assign(wide);
  return *this;
}

bool WString::EndsWithI(WCharCP suffix) const {
  size_t n = std::wcslen(suffix);
  if (n > size()) return false;
  for (size_t i = 0; i < n; ++i)
    if (!equalIgnoringCase((*this)[size() - n + i], suffix[i])) return false;
  return true;
}

size_t WString::ReplaceAll(WCharCP from, WCharCP to) {
  size_t fromLength = std::wcslen(from);
  if (fromLength == 0) return 0;
  size_t toLength = std::wcslen(to);
  size_t count = 0;
  for (size_t at = find(from); at != npos; at = find(from, at + toLength)) {
    replace(at, fromLength, to);
    ++count;
  }
  return count;
}

char* BeStringUtilities::WCharToCurrentLocaleChar(char* out, WCharCP in, size_t outSize) {
  if (outSize == 0) return out;
  std::string text;
  std::mbstate_t state{};
  size_t kept = 0;  // bytes of whole characters that fit
  const bool keepsAscii = localeKeepsAscii();
  for (WCharCP p = in; p && *p; ++p) {
    if (keepsAscii && host::IsAsciiUnit(*p))
      text.push_back(static_cast<char>(*p));
    else
      appendLocaleCharAt(text, p, state);
    if (text.size() > outSize - 1) break;
    kept = text.size();
  }
  std::memcpy(out, text.data(), kept);
  out[kept] = '\0';
  return out;
}

AString& BeStringUtilities::WCharToCurrentLocaleChar(AString& out, WCharCP in) {
  out.clear();
  if (!in) return out;
  size_t left = std::wcslen(in);
  const bool keepsAscii = localeKeepsAscii();
  if (keepsAscii) {
    // The ASCII characters that start the text (most often all of it) in one pass.
    out.resize(left);  // each character takes at least one byte
    const size_t run = host::CopyAsciiRun(in, left, out.data());
    out.resize(run);
    in += run;
    left -= run;
  }
  out.reserve(out.size() + left);
  std::mbstate_t state{};
  while (left > 0) {
    const size_t run = keepsAscii ? asciiRun(in, left) : 0;
    WCharCP last = in;  // the last unit of the character, where it isn't ASCII
    if (run > 0) {
      appendAscii(out, in, run);
    } else {
      appendLocaleCharAt(out, last, state);
    }
    const size_t done = run > 0 ? run : static_cast<size_t>(last - in) + 1;
    in += done;
    left -= done;
  }
  return out;
}

WString& BeStringUtilities::CurrentLocaleCharToWChar(WString& out, const char* in) {
  out.clear();
  if (!in) return out;
  std::mbstate_t state{};
  const char* p = in;
  size_t left = std::strlen(in);
  out.reserve(left);  // no character takes less than one byte
  const bool keepsAscii = localeKeepsAscii();
  while (left > 0) {
    const size_t run = keepsAscii ? asciiRun(p, left) : 0;
    if (run > 0) {
      appendAscii(out, p, run);
      p += run;
      left -= run;
      continue;
    }
    if (host::kLocaleTextIsUtf8) {
      const size_t n = takeUtf8(p, left, out);
      p += n;
      left -= n;
      continue;
    }
    wchar_t c;
    size_t n = std::mbrtowc(&c, p, left, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      state = std::mbstate_t{};
      out.push_back(L'\uFFFD');
      n = 1;
    } else {
      out.push_back(c);
      if (n == 0) n = 1;
    }
    p += n;
    left -= n;
  }
  return out;
}

std::string BeStringUtilities::WCharToUtf8(WCharCP in) {
  std::string out;
  for (WCharCP p = in; p && *p; ++p) appendUtf8(out, takeChar(p));
  return out;
}

WString BeStringUtilities::Utf8ToWChar(const char* in) {
  WString out;
  if (!in) return out;
  // A text never has more characters than bytes: room for them all at once, written in
  // place, runs of ASCII bytes in a loop of their own.
  const size_t size = std::strlen(in);
  out.resize(size);
  wchar_t* to = out.data();
  size_t count = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(in);
  const auto* const end = p + size;
  while (p < end) {
    while (p < end && *p < 0x80) to[count++] = static_cast<wchar_t>(*p++);
    if (p == end) break;
    char32_t c = *p;
    int extra = (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    if (extra < 0) {
      to[count++] = L'\uFFFD';
      ++p;
      continue;
    }
    c &= 0x3F >> extra;
    int i = 1;  // the zero after the text ends a cut sequence
    for (; i <= extra && (p[i] & 0xC0) == 0x80; ++i) c = (c << 6) | (p[i] & 0x3F);
    if (i <= extra) {
      to[count++] = L'\uFFFD';
      p += i;
      continue;
    }
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {  // a pair: four bytes made two units
      to[count++] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      c = 0xDC00 + ((c - 0x10000) & 0x3FF);
    }
    to[count++] = static_cast<wchar_t>(c);
    p += extra + 1;
  }
  out.resize(count);
  return out;
}
