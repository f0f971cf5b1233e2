// An application's key-in table: lines of key-in words followed by a command number in
// hexadecimal, and how a typed key-in is matched against it.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standin/shell/session.h"

namespace host {

using KeyinEntry = Session::KeyinEntry;

// Parses key-in table text: each line holds one or more key-in words, then the command
// number in hexadecimal ("0x" optional); '#' starts a comment; blank lines are skipped.
// Words are kept in upper case. On failure returns false and sets *error to one message
// naming fileLabel and the line, e.g. "tolvane.keyins:3: no command number after ...";
// *entries is then left alone.
bool ParseKeyinTable(const std::string& text, const std::string& fileLabel,
                     std::vector<KeyinEntry>* entries, std::string* error);

// Reads and parses the key-in table at localPath through the current file system; false
// with *error set when it can't be read or parsed.
bool LoadKeyinTable(const std::string& localPath, std::vector<KeyinEntry>* entries,
                    std::string* error);

// The key-in table that belongs to an application library: the file beside it with the
// library's name and the ending ".keyins" (".../tolvane.so" -> ".../tolvane.keyins").
std::string KeyinTablePathFor(const std::string& libraryPath);

struct KeyinMatch {
  uint64_t number = 0;
  std::string argument;  // the text after the matched words, the blanks after them dropped
};

// Matches a typed key-in against the table: words compare without regard to (ASCII) case
// and must match whole; the entry with the most matching words wins (the first of equals).
// Returns nothing when no entry matches.
std::optional<KeyinMatch> MatchKeyin(const std::vector<KeyinEntry>& table,
                                     const std::string& keyin);

}  // namespace host
