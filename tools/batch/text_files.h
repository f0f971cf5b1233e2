// Small file and text helpers of the batch tool.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace batch {

// True when text is well-formed UTF-8: no stray continuation byte, no sequence cut short,
// no overlong form, no surrogate, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The text with each byte that isn't part of well-formed UTF-8 written as "\xNN", so that a
// line that isn't UTF-8 can still be shown and stored.
std::string Printable(std::string_view text);

// Writes contents to path so that a reader sees the old file or the new one, never a part:
// into a temporary file beside it, then renamed over it. False, with *error naming the file,
// when it can't be written; the temporary file is then removed.
bool WriteFileAtomically(const std::filesystem::path& path, const std::string& contents,
                         std::string* error);

// Reads a whole file into *contents. False when it can't be opened or read.
bool ReadFile(const std::filesystem::path& path, std::string* contents);

// The lines of text, without their line ends (LF or CR LF); a last line without one counts.
std::vector<std::string> SplitLines(const std::string& text);

// Why path can't be exported as a design ("no such file", "is a folder", ...), or empty when
// it is a regular file. Never opens the file, so a FIFO can't block it.
std::string DesignFileProblem(const std::filesystem::path& path);

}  // namespace batch
