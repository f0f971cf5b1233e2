// The check of the shell's key-in table and of the application's message output, shared by
// their fuzz target and the regular test that replays the corpus. An input is up to three
// parts split at zero bytes: key-in table text, a typed key-in, and the text of a message's
// wide argument (three bytes a character, any value, little-endian).
//
// - A table either parses into entries of whole upper-case words, or is refused with one
//   message naming the file and the line, the entries left alone.
// - Matching agrees with a plain model of the rule: a key-in matches an entry whose words
//   start it whole (ASCII case ignored); the most words win, the first of equals; the rest,
//   blanks dropped, is the argument. Each entry, typed in lower case, matches.
// - A message shows as one line that, its escapes read back, is the formatted text: every
//   character in the locale's bytes or '?' when the locale has none (nor has any locale beyond
//   U+10FFFF), cut on a character boundary to fit the message buffer.
#pragma once

#include <climits>
#include <clocale>
#include <cstdint>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/message/message.h"
#include "standin/files/locale_codeset.h"
#include "standin/shell/keyin_table.h"
#include "testing/seed.h"

namespace keyin_check {

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

inline char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

struct Word {
  std::string text;
  size_t end;  // where the word ends in the key-in
};

inline std::vector<Word> wordsOf(const std::string& keyin) {
  std::vector<Word> words;
  for (size_t i = 0; i < keyin.size();) {
    if (isBlank(keyin[i])) {
      ++i;
      continue;
    }
    Word word;
    while (i < keyin.size() && !isBlank(keyin[i])) word.text += upper(keyin[i++]);
    word.end = i;
    words.push_back(std::move(word));
  }
  return words;
}

// The rule of matching, the plain way.
inline std::optional<host::KeyinMatch> modelMatch(const std::vector<host::KeyinEntry>& table,
                                                  const std::string& keyin) {
  const std::vector<Word> typed = wordsOf(keyin);
  const host::KeyinEntry* best = nullptr;
  for (const host::KeyinEntry& entry : table) {
    if (entry.words.size() > typed.size()) continue;
    bool matches = true;
    for (size_t i = 0; i < entry.words.size() && matches; ++i)
      matches = entry.words[i] == typed[i].text;
    if (matches && (!best || entry.words.size() > best->words.size())) best = &entry;
  }
  if (!best) return std::nullopt;
  size_t rest = best->words.empty() ? 0 : typed[best->words.size() - 1].end;
  while (rest < keyin.size() && isBlank(keyin[rest])) ++rest;
  return host::KeyinMatch{best->number, keyin.substr(rest)};
}

inline std::string describe(const std::optional<host::KeyinMatch>& match) {
  if (!match) return "no match";
  return std::to_string(match->number) + " \"" + match->argument + "\"";
}

inline std::string matchProblem(const std::vector<host::KeyinEntry>& table,
                                const std::string& keyin) {
  const auto matched = host::MatchKeyin(table, keyin);
  const auto expected = modelMatch(table, keyin);
  const bool same = matched.has_value() == expected.has_value() &&
                    (!matched || (matched->number == expected->number &&
                                  matched->argument == expected->argument));
  if (same) return std::string();
  return "key-in \"" + keyin + "\": " + describe(matched) + ", expected " + describe(expected);
}

inline std::string tableProblem(const std::string& table, const std::string& keyin) {
  const std::vector<host::KeyinEntry> before = {{{"KEPT"}, 1}};
  std::vector<host::KeyinEntry> entries = before;
  std::string error;
  if (!host::ParseKeyinTable(table, "fuzz.keyins", &entries, &error)) {
    const std::string label = "fuzz.keyins:";
    size_t digits = label.size();
    while (digits < error.size() && error[digits] >= '0' && error[digits] <= '9') ++digits;
    if (error.compare(0, label.size(), label) != 0 || digits == label.size() ||
        error.compare(digits, 2, ": ") != 0)
      return "the refusal names no file and line: " + error;
    if (entries.size() != 1 || entries[0].words != before[0].words)
      return "a refused table changed the entries";
    return std::string();
  }
  for (const host::KeyinEntry& entry : entries) {
    if (entry.words.empty() || entry.number == 0) return "an entry without words or number";
    for (const std::string& word : entry.words) {
      for (char c : word) {
        if (isBlank(c) || c == '\n' || c == '#' || (c >= 'a' && c <= 'z'))
          return "the word \"" + word + "\" isn't a whole upper-case word";
      }
    }
  }
  if (std::string problem = matchProblem(entries, keyin); !problem.empty()) return problem;
  for (const host::KeyinEntry& entry : entries) {
    std::string typed;
    for (const std::string& word : entry.words) typed += word + " ";
    for (char& c : typed) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    typed += " the rest ";
    if (std::string problem = matchProblem(entries, typed); !problem.empty()) return problem;
    if (!host::MatchKeyin(entries, typed)) return "the entry's own words don't match: " + typed;
  }
  return std::string();
}

// The wide argument: three bytes a character; a zero character ends it, as in any C string.
inline std::wstring wideArgument(std::string_view bytes) {
  std::wstring text;
  for (size_t i = 0; i + 3 <= bytes.size(); i += 3) {
    const auto byte = [&](size_t k) {
      return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + k]));
    };
    const uint32_t c = byte(0) | byte(1) << 8 | byte(2) << 16;
    if (c == 0) break;
    text.push_back(static_cast<wchar_t>(c));
  }
  return text;
}

// The bytes of one character in the current locale, as the C library's own one-character
// call gives them (some characters, such as the tag characters in "C", have none); '?' for
// what the locale can't encode, and for anything beyond U+10FFFF, which no encoding holds.
inline std::string localeBytes(uint32_t c) {
  if (c > 0x10FFFF) return "?";
  char bytes[MB_LEN_MAX];
  std::mbstate_t state{};
  const size_t n = std::wcrtomb(bytes, static_cast<wchar_t>(c), &state);
  return n == static_cast<size_t>(-1) ? std::string("?") : std::string(bytes, n);
}

inline int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The message window's line read back: each \xHH escape is its byte.
inline std::string unescaped(const std::string& shown) {
  std::string text;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == '\\' && i + 3 < shown.size() && (shown[i + 1] == 'x' || shown[i + 1] == 'X') &&
        hexValue(shown[i + 2]) >= 0 && hexValue(shown[i + 3]) >= 0) {
      text += static_cast<char>(hexValue(shown[i + 2]) * 16 + hexValue(shown[i + 3]));
      i += 3;
    } else {
      text += shown[i];
    }
  }
  return text;
}

// The text with every byte outside printable ASCII as \xHH, for a report.
inline std::string visible(const std::string& text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 0xF];
    }
  }
  return out;
}

inline std::string messageProblem(const std::wstring& argument, const char* locale) {
  const std::string previous = std::setlocale(LC_CTYPE, nullptr);
  if (!std::setlocale(LC_CTYPE, locale)) return std::string("no locale ") + locale;
  std::string encoded;
  for (wchar_t c : argument) encoded += localeBytes(static_cast<uint32_t>(c));
  // Two of the application's formats: one argument, and three of them.
  const std::string expected[] = {
      "Output to " + encoded,
      "Element folder " + encoded + " is taken by " + encoded + ": " + encoded + " is left out",
  };
  std::vector<std::string> shown;
  {
    host::seed::ScopedSession session(host::seed::EmptyDesign());
    printMessage("Output to %S", argument.c_str());
    printMessage("Element folder %S is taken by %S: %S is left out", argument.c_str(),
                 argument.c_str(), argument.c_str());
    shown = session.Messages();
  }
  std::setlocale(LC_CTYPE, previous.c_str());
  if (shown.size() != 2) return "not one line a message";
  for (size_t i = 0; i < 2; ++i) {
    const std::string text = unescaped(shown[i]);
    const std::string& whole = expected[i];
    const std::string where = std::string(" (") + locale + ", message " + std::to_string(i) + ")";
    if (text.size() >= kMessageBufferSize) return "the message overruns the buffer" + where;
    if (whole.compare(0, text.size(), text) != 0)
      return "the message isn't its text" + where + ": " + visible(text) + " | " + visible(whole);
    if (text.size() < whole.size()) {
      // Cut where the next character didn't fit: at most three bytes of room are left over,
      // and never inside a character.
      if (text.size() + 4 < kMessageBufferSize) return "the message is cut too short" + where;
      if ((static_cast<uint8_t>(whole[text.size()]) & 0xC0) == 0x80)
        return "the message is cut inside a character" + where;
    }
  }
  return std::string();
}

inline std::string keyinMessageProblem(std::string_view input) {
  std::string_view parts[3];
  for (int i = 0; i < 3; ++i) {
    const size_t zero = i < 2 ? input.find('\0') : std::string_view::npos;
    parts[i] = input.substr(0, zero);
    input = zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);
  }
  if (std::string problem = tableProblem(std::string(parts[0]), std::string(parts[1]));
      !problem.empty())
    return problem;
  // The message model encodes through the C library's locale: where the stand-in's locale
  // text is UTF-8 whatever the C runtime's locale (Windows), only the key-in table is checked.
  if (host::kLocaleTextIsUtf8) return std::string();
  const std::wstring argument = wideArgument(parts[2]);
  for (const char* locale : {"C.UTF-8", "C"}) {
    if (std::string problem = messageProblem(argument, locale); !problem.empty()) return problem;
  }
  return std::string();
}

}  // namespace keyin_check
