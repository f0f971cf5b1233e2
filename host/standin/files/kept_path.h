// The mapping of the last plain path that a thread mapped to a local path, kept so that the
// next path sharing its folders (a folder, then its files, named one after the other) maps
// only its rest. Internal to the host's paths (paths.cpp).
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "standin/files/locale_codeset.h"
#include "standin/files/paths.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace host {

#ifdef __SSE2__
// The characters that Windows refuses in a name among 16 bytes: bit i for byte i. A byte
// below 0x20 as a signed char (0x80 and above included) is refused, as that char is as a wide
// character. For the host's paths (paths.cpp).
[[gnu::always_inline]] inline unsigned RefusedMarks(const char* block) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  auto is = [&](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
  const __m128i refused = _mm_or_si128(
      _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)), is('<')),
                   _mm_or_si128(is('>'), is(':'))),
      _mm_or_si128(_mm_or_si128(_mm_or_si128(is('"'), is('/')), _mm_or_si128(is('\\'), is('|'))),
                   _mm_or_si128(is('?'), is('*'))));
  return static_cast<unsigned>(_mm_movemask_epi8(refused));
}
#endif

// text as ASCII bytes in out; false (out then undefined) when a character is not ASCII.
inline bool NarrowAscii(std::wstring_view text, std::string& out) {
  out.resize(text.size());
  return CopyAsciiRun(text.data(), text.size(), out.data()) == text.size();
}
// Calls from within the host's library go straight to what this marks, not through the
// library's table of symbols. A Windows DLL has no such table for what it doesn't export.
#ifdef _WIN32
#define HOST_LIBRARY_ONLY
#else
#define HOST_LIBRARY_ONLY [[gnu::visibility("hidden")]]
#endif

// The thread's room for NarrowAscii's bytes.
HOST_LIBRARY_ONLY std::string& NarrowBuffer();

// A path is plain when its mapping is root, "/" and the text after its drive and leading
// separators, all ASCII, with "/" for every separator: no component empty, none starting
// with ".". Paths too long for the room kept are not kept. Called only within the host's
// library, so its calls go straight to it.
class HOST_LIBRARY_ONLY KeptPath {
 public:
  static KeptPath& OfThisThread();

  // Maps text (ASCII) through the kept path when that was kept under generation (of drive C's
  // folder) and text shares with it a folder below the root, or lies inside it, and the rest
  // is plain: out is then text's mapping, refused whether its last component holds a refused
  // character, and text is kept in its place. Else false, out untouched.
  bool Map(std::string_view text, uint64_t generation, std::string& out, bool& refused);
  // Keeps text, a plain path, and its mapping: its first component starts at text[first], and
  // the "/" before it lies at mapped[rootSize].
  void Keep(std::string_view text, std::string_view mapped, size_t first, size_t rootSize,
            uint64_t generation);

 private:
  static constexpr size_t kRoom = 1024;
  char m_path[kRoom] = {};
  char m_local[kRoom] = {};
  size_t m_pathSize = 0;  // 0 when nothing is kept
  size_t m_localSize = 0;
  size_t m_first = 0;
  size_t m_rootSize = 0;
  uint64_t m_generation = 0;
};

// The steps of a mapping through the kept path, in line with it.
namespace kept_path {

// The path separators of the host, in narrow and in wide text alike.
template <typename Char>
constexpr bool isSeparator(Char c) {
  return c == Char('\\') || c == Char('/');
}

// The first position at which a and b differ; the shorter size when one starts the other.
inline size_t mismatch(std::string_view a, std::string_view b) {
  const size_t size = std::min(a.size(), b.size());
  return static_cast<size_t>(std::mismatch(a.begin(), a.begin() + size, b.begin()).first -
                             a.begin());
}

// Where text[begin, end) has its last separator, plus one; begin when it has none.
inline size_t afterLastSeparator(std::string_view text, size_t begin, size_t end) {
  while (end > begin && !isSeparator(text[end - 1])) --end;
  return end;
}

// slashPlainComponents for text[0, size): every separator made "/", and true when no component
// is empty or starts with "."; refused tells whether the last component holds a refused
// character.
inline bool slashPlainComponentsOf(char* text, size_t size, bool& refused) {
  refused = false;
  bool previousSeparator = true, bad = false;
  for (size_t i = 0; i < size; ++i) {
    const bool separator = isSeparator(text[i]);
    bad |= previousSeparator && (separator || text[i] == '.');
    if (separator) refused = false;
    refused |= !separator && IsRefusedNameChar(static_cast<wchar_t>(text[i]));
    if (separator) text[i] = '/';
    previousSeparator = separator;
  }
  return size != 0 && !bad && !previousSeparator;
}

}  // namespace kept_path

inline bool KeptPath::Map(std::string_view text, uint64_t generation, std::string& out,
                          bool& refused) {
  if (m_pathSize == 0 || generation != m_generation) return false;
  const size_t differ = kept_path::mismatch(text, std::string_view(m_path, m_pathSize));
  size_t shared = differ;
  if (shared == m_pathSize && shared < text.size() && kept_path::isSeparator(text[shared])) {
    ++shared;  // inside the kept path
  } else {
    shared = kept_path::afterLastSeparator(text, m_first, shared);
  }
  // A separator at shared - 1 after the first component: it is the "/" at m_local[kept - 1],
  // or the one to add after the whole local path.
  if (shared <= m_first) return false;
  const size_t kept = m_rootSize + 1 + (shared - m_first);
  const size_t rest = text.size() - shared;
  if (text.size() > kRoom || kept + rest > kRoom) return false;
  m_local[kept - 1] = '/';
  std::memcpy(m_local + kept, text.data() + shared, rest);
  if (!kept_path::slashPlainComponentsOf(m_local + kept, rest, refused)) {
    m_pathSize = 0;  // its local text is spoilt
    return false;
  }
  std::memcpy(m_path + differ, text.data() + differ, text.size() - differ);
  m_pathSize = text.size();
  m_localSize = kept + rest;
  out.clear();
  out.append(m_local, m_localSize);
  return true;
}

}  // namespace host
