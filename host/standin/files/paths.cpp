#include "standin/files/paths.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "host/wstring.h"
#include "standin/files/file_system.h"
#include "standin/files/kept_path.h"
#include "standin/files/locale_codeset.h"
#include "standin/files/system.h"

namespace host {
namespace {

using kept_path::isSeparator;

// The refused characters below U+0080 as a bit set: bit c of word c / 64.
constexpr uint64_t kRefusedBits[2] = {0xffffffffull | 1ull << '"' | 1ull << '*' | 1ull << '/' |
                                          1ull << ':' | 1ull << '<' | 1ull << '>' | 1ull << '?',
                                      1ull << ('\\' - 64) | 1ull << ('|' - 64)};

// Below U+0020 counts everything under it, negative values (not characters) included: a
// byte of narrow text beyond ASCII is one, as is a negative 32-bit wchar_t. The code is taken
// as a signed 32-bit value, since a 16-bit wchar_t is unsigned.
inline bool refusedInName(int32_t c) {
  if (c < 0) return true;
  const auto code = static_cast<uint32_t>(c);
  return code < 0x80 && (kRefusedBits[code >> 6] >> (code & 63) & 1) != 0;
}

std::string g_driveC;          // as set by SetDriveCFolder; empty means the default
std::string g_driveCResolved;  // absolute and created; empty until first use
// Counts the changes of drive C's folder, so that a mapping remembered under an earlier one
// is never used again.
uint64_t g_driveCGeneration = 0;

std::string defaultDriveC() {
  if (std::string env = EnvironmentVariable("TOLVANE_DRIVE_C"); !env.empty()) return env;
  std::string home = EnvironmentVariable(kLocalPathsHaveDrives ? "USERPROFILE" : "HOME");
  if (home.empty()) home = kLocalPathsHaveDrives ? "C:/Temp" : "/tmp";
  return home + "/.tolvane/drive_c";
}

// Where local paths start: "/" on POSIX systems, the drive ("Z:") of a path that has one.
size_t localRootLength(std::string_view local) {
  return kLocalPathsHaveDrives && local.size() >= 2 && local[1] == ':' ? 2 : 0;
}

}  // namespace

std::vector<std::wstring> ResolvePathComponents(const std::wstring& text) {
  std::vector<std::wstring> parts;
  std::wstring current;
  auto flush = [&] {
    if (current.empty() || current == L".") {
    } else if (current == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(current);
    }
    current.clear();
  };
  for (wchar_t c : text) {
    if (isSeparator(c))
      flush();
    else
      current.push_back(c);
  }
  flush();
  return parts;
}

void SetDriveCFolder(const std::string& localFolder) {
  g_driveC = localFolder;
  g_driveCResolved.clear();
  ++g_driveCGeneration;
}

std::string AbsoluteLocalPath(const std::string& localPath) {
  std::error_code error;
  std::string normal;
  if (kLocalPathsHaveDrives) {  // as UTF-8, never in the system's narrow code page
    const std::filesystem::path given(std::u8string(localPath.begin(), localPath.end()));
    const std::filesystem::path path = std::filesystem::absolute(given, error);
    const std::u8string text = (error ? given : path).lexically_normal().generic_u8string();
    normal.assign(text.begin(), text.end());
  } else {  // the bytes as they are
    const std::filesystem::path path = std::filesystem::absolute(localPath, error);
    normal = (error ? std::filesystem::path(localPath) : path).lexically_normal().string();
  }
  while (normal.size() > localRootLength(normal) + 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

// Resolved once: every Windows path on drive C passes through here, and the export turns
// several paths per element. Until the folder could be created it is resolved anew on each
// call, so that a later call can still succeed.
const std::string& DriveCFolder() {
  if (!g_driveCResolved.empty()) return g_driveCResolved;
  static std::string unresolved;
  const std::string folder = AbsoluteLocalPath(g_driveC.empty() ? defaultDriveC() : g_driveC);
  if (CreateDirectories(CurrentFileSystem(), folder).ok()) {
    g_driveCResolved = folder;
    return g_driveCResolved;
  }
  unresolved = folder;
  return unresolved;
}

namespace {

// The characters that LocalNameToWide makes of bytes outside any UTF-8 sequence.
bool isEscapedByte(wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Writes text[from, to) as UTF-8 at out[at], each character in one pass: an ASCII character
// as its one byte; any other through WCharToUtf8, growing out so that the rest of the text
// still fits at one byte a character. Returns where the writing ended.
size_t writeUtf8(std::string& out, size_t at, std::wstring_view text, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    const wchar_t c = text[i];
    if (IsAsciiUnit(c)) {
      out[at++] = static_cast<char>(c);
      continue;
    }
    // A byte of a local name that isn't UTF-8, given back; where wchar_t is 16 bits these are
    // low surrogates, and local names come from the system as wide text anyway.
    if (sizeof(wchar_t) == 4 && isEscapedByte(c)) {
      if (at + 1 + (text.size() - i) > out.size()) out.resize(at + 1 + (text.size() - i));
      out[at++] = static_cast<char>(c - 0xDC00);
      continue;
    }
    // A surrogate pair is one character, converted whole.
    const bool pair = sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < to &&
                      text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    const wchar_t single[3] = {c, pair ? static_cast<wchar_t>(text[i + 1]) : L'\0', L'\0'};
    if (pair) ++i;
    const std::string bytes = BeStringUtilities::WCharToUtf8(single);
    const size_t needed = at + bytes.size() + (text.size() - i);
    if (needed > out.size()) out.resize(needed);
    bytes.copy(out.data() + at, bytes.size());
    at += bytes.size();
  }
  return at;
}

// The same for text that holds only ASCII characters: copied as it is.
size_t writeUtf8(std::string& out, size_t at, std::string_view asciiText, size_t from, size_t to) {
  asciiText.copy(out.data() + at, to - from, from);
  return at + (to - from);
}

// root (less trailing separators) followed by "/" and each component of text as UTF-8, with
// the components resolved as ResolvePathComponents resolves them, in one pass and without a
// list of components: "." and empty components are dropped, ".." takes back the last
// component written and never the root. root comes without trailing separators.
template <typename Char>
std::string resolvedUnderByComponents(std::string_view root, std::basic_string_view<Char> text) {
  // Room for an all-ASCII text: one byte a character, one '/' a separator, one '/' more
  // before the first component.
  std::string out(root.size() + text.size() + 1, '\0');
  root.copy(out.data(), root.size());
  const size_t rootSize = root.size();
  size_t size = rootSize;  // the bytes of out written so far
  size_t begin = 0;        // where the component starts in text
  for (;;) {
    size_t end = begin;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    const size_t length = end - begin;
    if (length == 2 && text[begin] == '.' && text[begin + 1] == '.') {
      if (size > rootSize) size = out.rfind('/', size - 1);
    } else if (length != 0 && !(length == 1 && text[begin] == '.')) {
      out[size] = '/';
      size = writeUtf8(out, size + 1, text, begin, end);
    }
    if (end == text.size()) break;
    begin = end + 1;
  }
  out.resize(size);
  if (out.empty()) out = "/";
  return out;
}

// Appends text to out when it is all ASCII, one byte a character; false (out then holds part
// of it) when it is not.
bool appendAscii(std::string& out, std::string_view asciiText) {
  out.append(asciiText);
  return true;
}
bool appendAscii(std::string& out, std::wstring_view text) {
  constexpr size_t kChunk = 64;
  for (size_t at = 0; at < text.size(); at += kChunk) {
    char bytes[kChunk];
    const size_t count = std::min(kChunk, text.size() - at);
    for (size_t i = 0; i < count; ++i) {
      if (!IsAsciiUnit(text[at + i])) return false;
      bytes[i] = static_cast<char>(text[at + i]);
    }
    out.append(bytes, count);
  }
  return true;
}

// Turns each "\" of out[from, end) into "/" and tells whether the text there was already its
// own resolved form: no component empty (no separator at either end or after another) and
// none starting with "." (so none is "." or ".."; a name such as ".cache" is sent the long
// way too). When false, out must be built the long way.
bool slashPlainComponentsOneByOne(char* text, size_t size) {
  bool previousSeparator = true;  // the start counts as a separator
  for (size_t i = 0; i < size; ++i) {
    const char c = text[i];
    const bool separator = c == '\\' || c == '/';
    if (previousSeparator && (separator || c == '.')) return false;
    if (c == '\\') text[i] = '/';
    previousSeparator = separator;
  }
  return !previousSeparator;
}

#ifdef __SSE2__
// The same, sixteen bytes at a time. The last block overlaps the one before it when the text
// is not a multiple of sixteen long: both the checks and the turning are the same when done
// twice.
bool slashPlainComponents(std::string& out, size_t from) {
  const size_t size = out.size() - from;
  char* text = out.data() + from;
  if (size < 16) return size != 0 && slashPlainComponentsOneByOne(text, size);
  const __m128i slash = _mm_set1_epi8('/'), backslash = _mm_set1_epi8('\\'),
                dot = _mm_set1_epi8('.'), turn = _mm_set1_epi8('/' ^ '\\');
  unsigned bad = 0;
  for (size_t at = 0;; at += 16) {
    if (at + 16 > size) at = size - 16;
    auto* block = reinterpret_cast<__m128i*>(text + at);
    const __m128i bytes = _mm_loadu_si128(block);
    const __m128i isBackslash = _mm_cmpeq_epi8(bytes, backslash);
    const unsigned separators = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, slash), isBackslash)));
    const unsigned dots = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, dot)));
    const unsigned before = at == 0 || isSeparator(text[at - 1]) ? 1u : 0u;
    bad |= ((separators << 1) | before) & (separators | dots) & 0xffffu;
    if (isBackslash[0] | isBackslash[1])
      _mm_storeu_si128(block, _mm_xor_si128(bytes, _mm_and_si128(isBackslash, turn)));
    if (at + 16 == size) return bad == 0 && !(separators >> 15);
  }
}
#else
bool slashPlainComponents(std::string& out, size_t from) {
  return out.size() != from && slashPlainComponentsOneByOne(out.data() + from, out.size() - from);
}
#endif

// resolvedUnderByComponents's result, written over out (whose room is used again); a text
// that is its own resolved form (nearly every path that the application makes) is copied in
// one pass over sixteen bytes at a time, and true is returned: out is then root, "/" and the
// text after its leading separators, all ASCII, with "/" for every separator. root must not
// lie in out.
template <typename Char>
bool resolvedUnder(std::string_view root, std::basic_string_view<Char> text, std::string& out) {
  while (!root.empty() && root.back() == '/') root.remove_suffix(1);
  out.clear();
  out.reserve(root.size() + text.size() + 1);
  out.append(root);
  out.push_back('/');
  size_t first = 0;  // separators at the start only make empty components
  while (first < text.size() && isSeparator(text[first])) ++first;
  if (appendAscii(out, text.substr(first)) && slashPlainComponents(out, root.size() + 1))
    return true;
  out = resolvedUnderByComponents(root, text);
  return false;
}

// A drive letter is a letter of the locale; ASCII letters, the usual ones, are known without
// asking the locale.
template <typename Char>
size_t driveLength(std::basic_string_view<Char> path) {
  if (path.size() < 2 || path[1] != ':') return 0;
  const wchar_t c = static_cast<wchar_t>(path[0]);
  const bool letter = IsAsciiUnit(c) ? (c | 0x20) >= L'a' && (c | 0x20) <= L'z' : std::iswalpha(c);
  return letter ? 2 : 0;
}

// Maps path into local; plain tells that local came out as path's own resolved form (see
// resolvedUnder). stable: the root stays the same until drive C's folder changes, so that the
// mapping may be kept (a relative path is taken from the working folder, which may change).
template <typename Char>
bool mapPath(std::basic_string_view<Char> path, std::string* local, bool& plain, bool& stable) {
  stable = false;
  if (path.empty()) return false;
  if (driveLength(path) != 0) {
    // ASCII letters are known without the locale (only 'c' and 'z' map a drive).
    const wchar_t first = static_cast<wchar_t>(path[0]);
    const wchar_t drive = IsAsciiUnit(first) ? first & ~0x20 : std::towupper(first);
    const auto rest = path.substr(2);
    if (drive == L'C') {
      const std::string& folder = DriveCFolder();
      stable = &folder == &g_driveCResolved;  // not one that could not be created yet
      plain = resolvedUnder(folder, rest, *local);
      return true;
    }
    // Where local paths have drives, every other drive is the local drive of its letter;
    // elsewhere drive Z is the local root.
    if (kLocalPathsHaveDrives && IsAsciiUnit(drive)) {
      const char root[] = {static_cast<char>(drive), ':', '\0'};
      stable = true;
      plain = resolvedUnder(root, rest, *local);
      return true;
    }
    if (drive == L'Z') {
      stable = true;
      plain = resolvedUnder("/", rest, *local);
      return true;
    }
    return false;
  }
  if (kLocalPathsHaveDrives || path[0] != '/') {
    // A relative path is taken from the working folder, and where local paths have drives,
    // one that starts with a separator from the working folder's drive.
    const std::string working = WorkingFolder();
    const size_t rootLength = localRootLength(working);
    const std::string_view root = rootLength ? std::string_view(working).substr(0, 2) : "/";
    std::wstring absolute;
    if (!isSeparator(path[0]))
      absolute = BeStringUtilities::Utf8ToWChar(working.c_str() + rootLength) + L"/";
    absolute.append(path.begin(), path.end());
    plain = resolvedUnder(root, std::wstring_view(absolute), *local);
    return true;
  }
  stable = true;
  plain = resolvedUnder("/", path, *local);
  return true;
}

// How a mapping came out: plain when local is path's own resolved form (see resolvedUnder);
// refused is 1 or 0 when the mapping found out whether the last component holds a refused
// character, else -1.
struct Mapping {
  bool plain = false;
  int refused = -1;
};

bool asciiToLocalPath(std::string_view path, std::string* local, Mapping& mapping) {
  KeptPath& last = KeptPath::OfThisThread();
  bool refused = false;
  if (last.Map(path, g_driveCGeneration, *local, refused)) {
    mapping = Mapping{true, refused ? 1 : 0};
    return true;
  }
  bool stable = false;
  if (!mapPath(path, local, mapping.plain, stable)) return false;
  if (mapping.plain && stable) {
    // The "/" before the first component follows the root, which kept no "/" at its end.
    size_t first = driveLength(path);
    while (isSeparator(path[first])) ++first;
    last.Keep(path, *local, first, local->size() - (path.size() - first) - 1, g_driveCGeneration);
  }
  return true;
}

bool toLocalPath(std::string_view path, std::string* local, Mapping& mapping) {
  return asciiToLocalPath(path, local, mapping);
}

// A wide path of ASCII characters is mapped as its bytes, so that it may be kept too.
bool toLocalPath(std::wstring_view path, std::string* local, Mapping& mapping) {
  std::string& narrow = NarrowBuffer();
  if (NarrowAscii(path, narrow)) return asciiToLocalPath(narrow, local, mapping);
  bool stable = false;
  return mapPath(path, local, mapping.plain, stable);
}

}  // namespace

bool ToLocalPath(std::wstring_view path, std::string* local) {
  Mapping mapping;
  return toLocalPath(path, local, mapping);
}

bool AsciiToLocalPath(std::string_view path, std::string* local) {
  Mapping mapping;
  return asciiToLocalPath(path, local, mapping);
}

std::wstring LocalNameToWide(std::string_view name) {
  std::wstring wide;
  while (!name.empty()) {
    char32_t code = 0;
    size_t length = Utf8Sequence(name, &code);
    if (length == 0) {
      wide.push_back(static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(name[0])));
      length = 1;
    } else if (sizeof(wchar_t) == 2 && code >= 0x10000) {
      wide.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      wide.push_back(static_cast<wchar_t>(code));
    }
    name.remove_prefix(length);
  }
  return wide;
}

std::wstring ToWindowsPath(const std::string& localPath) {
  std::string absolute = localPath;
  if (localRootLength(absolute) == 0 && (absolute.empty() || absolute[0] != '/'))
    absolute = WorkingFolder() + "/" + absolute;
  // Where local paths have drives, a local path is its own Windows path; elsewhere the local
  // root is drive Z.
  const size_t rootLength = localRootLength(absolute);
  std::wstring out = rootLength ? BeStringUtilities::Utf8ToWChar(absolute.substr(0, 2).c_str())
                                : std::wstring(L"Z:");
  auto parts = ResolvePathComponents(BeStringUtilities::Utf8ToWChar(absolute.c_str() + rootLength));
  for (const auto& part : parts) out += L"\\" + part;
  if (parts.empty()) out += L"\\";
  return out;
}

bool IsRefusedNameChar(wchar_t c) { return refusedInName(c); }

bool IsPathSeparator(wchar_t c) { return isSeparator(c); }

size_t DriveLength(std::wstring_view path) { return driveLength(path); }

namespace {

template <typename Char>
size_t lastComponentStart(std::basic_string_view<Char> path) {
  const size_t drive = driveLength(path);
  for (size_t i = path.size(); i > drive; --i)
    if (isSeparator(path[i - 1])) return i;
  return drive;
}

// One pass from the end: the separators are refused characters too, and the first refused
// character met tells the answer, a separator that the last component is clean.
// path[begin, end) is read; the answer is false when it holds no refused character.
template <typename Char>
bool lastComponentIsRefused(std::basic_string_view<Char> path, size_t begin, size_t end) {
  for (size_t i = end; i > begin; --i) {
    const Char c = path[i - 1];
    if (refusedInName(static_cast<int32_t>(c))) return !isSeparator(static_cast<wchar_t>(c));
  }
  return false;
}

template <typename Char>
bool lastComponentIsRefused(std::basic_string_view<Char> path) {
  return lastComponentIsRefused(path, driveLength(path), path.size());
}

#ifdef __SSE2__
// The same for narrow text from begin on, sixteen bytes at a time from the end; the last
// refused byte of a block tells the answer. A rest shorter than a block is read one byte at a
// time.
bool refusedAfterLastSeparator(std::string_view path, size_t begin) {
  size_t end = path.size();
  for (; end >= begin + 16; end -= 16) {
    if (const unsigned marks = RefusedMarks(path.data() + end - 16)) {
      const char last = path[end - 16 + static_cast<size_t>(31 - __builtin_clz(marks))];
      return !isSeparator(last);
    }
  }
  return lastComponentIsRefused(path, begin, end);
}
#else
bool refusedAfterLastSeparator(std::string_view path, size_t begin) {
  return lastComponentIsRefused(path, begin, path.size());
}
#endif

bool lastComponentIsRefused(std::string_view path) {
  return refusedAfterLastSeparator(path, driveLength(path));
}

// The name is judged by the mapping when it could, else in a plain mapping (see
// resolvedUnder), which is ASCII and ends with the path's last component after a "/", sixteen
// bytes at a time whatever the path's characters, else in the path.
template <typename Char>
NewPathStatus toLocalNewPath(std::basic_string_view<Char> path, std::string* local) {
  Mapping mapping;
  if (!toLocalPath(path, local, mapping)) return NewPathStatus::Unmapped;
  const bool refused = mapping.refused >= 0 ? mapping.refused == 1
                       : mapping.plain      ? refusedAfterLastSeparator(*local, 0)
                                            : lastComponentIsRefused(path);
  return refused ? NewPathStatus::RefusedName : NewPathStatus::Mapped;
}

}  // namespace

NewPathStatus ToLocalNewPath(std::wstring_view path, std::string* local) {
  return toLocalNewPath(path, local);
}

NewPathStatus AsciiToLocalNewPath(std::string_view path, std::string* local) {
  return toLocalNewPath(path, local);
}

size_t LastComponentStart(std::wstring_view path) { return lastComponentStart(path); }

std::string LocalFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  const size_t root = localRootLength(path);
  return slash == root ? path.substr(0, root + 1) : path.substr(0, slash);
}

std::string LocalNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool LastComponentIsRefused(std::wstring_view windowsPath) {
  return lastComponentIsRefused(windowsPath);
}

bool AsciiLastComponentIsRefused(std::string_view windowsPath) {
  return lastComponentIsRefused(windowsPath);
}

}  // namespace host
