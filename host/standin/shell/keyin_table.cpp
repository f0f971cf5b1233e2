#include "standin/shell/keyin_table.h"

#include <cstdlib>
#include <sstream>

#include "standin/files/file_system.h"

namespace host {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperCase(std::string word) {
  for (char& c : word) c = asciiUpper(c);
  return word;
}

std::vector<std::string> splitWords(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream stream(line);
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// Reads a hexadecimal command number with an optional "0x"; false unless the whole text
// is a number that fits in 64 bits.
bool parseCommandNumber(const std::string& text, uint64_t* number) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2);
  if (digits.empty() || digits.size() > 16) return false;
  uint64_t value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    value = value * 16 + static_cast<uint64_t>(digit);
  }
  *number = value;
  return true;
}

std::string lineError(const std::string& fileLabel, int lineNumber, const std::string& why) {
  return fileLabel + ":" + std::to_string(lineNumber) + ": " + why;
}

// Parses one line without its comment; *entry stays empty for a blank line.
bool parseLine(const std::string& line, std::optional<KeyinEntry>* entry, std::string* why) {
  std::vector<std::string> words = splitWords(line);
  if (words.empty()) return true;
  if (words.size() == 1) {
    *why = "expected key-in words and a command number, found only \"" + words[0] + "\"";
    return false;
  }
  uint64_t number = 0;
  if (!parseCommandNumber(words.back(), &number)) {
    *why = "\"" + words.back() + "\" is not a hexadecimal command number";
    return false;
  }
  if (number == 0) {
    *why = "command number 0 ends a command table and can't name a command";
    return false;
  }
  words.pop_back();
  for (auto& word : words) word = upperCase(word);
  *entry = KeyinEntry{std::move(words), number};
  return true;
}

std::string joinWords(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// Matches the entry's words at the start of keyin; on success *rest is where the text
// after the last word starts.
bool matchWords(const KeyinEntry& entry, const std::string& keyin, size_t* rest) {
  size_t at = 0;
  for (const auto& word : entry.words) {
    while (at < keyin.size() && isBlank(keyin[at])) ++at;
    if (keyin.size() - at < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
      if (asciiUpper(keyin[at + i]) != word[i]) return false;
    at += word.size();
    if (at < keyin.size() && !isBlank(keyin[at])) return false;  // a longer word
  }
  *rest = at;
  return true;
}

}  // namespace

bool ParseKeyinTable(const std::string& text, const std::string& fileLabel,
                     std::vector<KeyinEntry>* entries, std::string* error) {
  std::vector<KeyinEntry> parsed;
  std::istringstream stream(text);
  int lineNumber = 0;
  for (std::string line; std::getline(stream, line);) {
    ++lineNumber;
    if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::optional<KeyinEntry> entry;
    std::string why;
    if (!parseLine(line, &entry, &why)) {
      *error = lineError(fileLabel, lineNumber, why);
      return false;
    }
    if (!entry) continue;
    for (const auto& earlier : parsed) {
      if (earlier.words == entry->words) {
        *error = lineError(fileLabel, lineNumber,
                           "the key-in \"" + joinWords(entry->words) + "\" is given twice");
        return false;
      }
    }
    parsed.push_back(std::move(*entry));
  }
  *entries = std::move(parsed);
  return true;
}

bool LoadKeyinTable(const std::string& localPath, std::vector<KeyinEntry>* entries,
                    std::string* error) {
  std::string text;
  FileStatus read = CurrentFileSystem().ReadFile(localPath, &text);
  if (!read.ok()) {
    *error = localPath + ": can't read the key-in table (" + read.reason() + ")";
    return false;
  }
  return ParseKeyinTable(text, localPath, entries, error);
}

std::string KeyinTablePathFor(const std::string& libraryPath) {
  size_t slash = libraryPath.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = libraryPath.rfind('.');
  size_t stemEnd = (dot == std::string::npos || dot <= nameStart) ? libraryPath.size() : dot;
  return libraryPath.substr(0, stemEnd) + ".keyins";
}

std::optional<KeyinMatch> MatchKeyin(const std::vector<KeyinEntry>& table,
                                     const std::string& keyin) {
  const KeyinEntry* best = nullptr;
  size_t bestRest = 0;
  for (const auto& entry : table) {
    size_t rest = 0;
    if (!matchWords(entry, keyin, &rest)) continue;
    if (!best || entry.words.size() > best->words.size()) {
      best = &entry;
      bestRest = rest;
    }
  }
  if (!best) return std::nullopt;
  while (bestRest < keyin.size() && isBlank(keyin[bestRest])) ++bestRest;
  return KeyinMatch{best->number, keyin.substr(bestRest)};
}

}  // namespace host
