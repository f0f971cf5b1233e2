// What the host needs to know of the current locale's encoding of narrow text, and the
// copying of the ASCII characters that need no encoding. Internal to the host.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#ifndef _WIN32
#include <langinfo.h>
#endif

#include <cstddef>
#include <cstring>

#include <cwchar>
#include <string_view>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace host {

// Whether locale text is UTF-8 whatever the C runtime's locale: on Windows, whose C runtime
// can't take UTF-8 for a locale, the stand-in behaves as a process whose code page is UTF-8,
// so that every character of a message reaches standard output.
#ifdef _WIN32
inline constexpr bool kLocaleTextIsUtf8 = true;
#else
inline constexpr bool kLocaleTextIsUtf8 = false;
#endif

// Whether a wide code unit is a character below U+0080. (Compared unsigned: a 32-bit
// wchar_t may be negative, and a 16-bit one is unsigned already.)
inline bool IsAsciiUnit(wchar_t c) { return static_cast<std::make_unsigned_t<wchar_t>>(c) < 0x80; }

// Whether the current locale's encoding writes each character below U+0080 as that one byte
// and keeps no shift state (UTF-8 and ASCII, the encodings of "C.UTF-8" and "C"). Such
// characters, most of every path and name, then need no conversion call of their own, and a
// narrow text of them alone is its wide text byte for byte.
// Every code page of Windows's C runtime keeps them so.
inline bool LocaleKeepsAscii() {
#ifdef _WIN32
  return true;
#else
  const char* codeset = nl_langinfo(CODESET);
  return std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
#endif
}

// Copies the characters below U+0080 that text[0, size) starts with to out, each as its one
// byte, eight at a time; returns how many there were.
inline size_t CopyAsciiRun(const wchar_t* text, size_t size, char* out) {
  size_t i = 0;
#if defined(__SSE2__) && WCHAR_MAX > 0xFFFF  // four bytes a character
  const __m128i high = _mm_set1_epi32(~0x7f), zero = _mm_setzero_si128();
  for (; i + 8 <= size; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 4));
    const __m128i beyond = _mm_and_si128(_mm_or_si128(a, b), high);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(beyond, zero)) != 0xffff) break;
    const __m128i halves = _mm_packs_epi32(a, b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(halves, halves));
  }
#endif
  for (; i < size && IsAsciiUnit(text[i]); ++i) out[i] = static_cast<char>(text[i]);
  return i;
}

// The length of the well-formed UTF-8 sequence at the start of bytes, and its code point;
// 0 when none starts there (a stray byte, an overlong form, a surrogate, beyond U+10FFFF).
inline size_t Utf8Sequence(std::string_view bytes, char32_t* code) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  size_t length = lead < 0x80                    ? 1
                  : lead >= 0xC2 && lead <= 0xDF ? 2
                  : (lead & 0xF0) == 0xE0        ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || length > bytes.size()) return 0;
  char32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = value << 6 | (byte(i) & 0x3F);
  }
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

}  // namespace host
