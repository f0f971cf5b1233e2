#include "tools/batch/text_files.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace batch {

namespace fs = std::filesystem;

namespace {

// The length of the well-formed UTF-8 sequence at text[i], or 0 when there is none.
size_t sequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t length = sequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string Printable(std::string_view text) {
  std::string shown;
  for (size_t i = 0; i < text.size();) {
    size_t length = sequenceLength(text, i);
    if (length == 0) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[i]));
      shown += escape;
      ++i;
    } else {
      shown.append(text.substr(i, length));
      i += length;
    }
  }
  return shown;
}

bool WriteFileAtomically(const fs::path& path, const std::string& contents, std::string* error) {
  // A name of its own for each writer, so that two processes or threads writing the same
  // file never write into one temporary file.
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const size_t thread = std::hash<std::thread::id>()(std::this_thread::get_id());
  fs::path temp = path;
  temp += ".tmp-" + std::to_string(stamp) + "-" + std::to_string(thread % 100000) + "-" +
          std::to_string(counter++);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << contents;
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      *error = path.string() + ": can't be written";
      return false;
    }
  }
  std::error_code failed;
  fs::rename(temp, path, failed);
  if (failed) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    *error = path.string() + ": can't be written: " + failed.message();
    return false;
  }
  return true;
}

bool ReadFile(const fs::path& path, std::string* contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return false;
  *contents = text.str();
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string DesignFileProblem(const fs::path& path) {
  std::error_code failed;
  const fs::file_status status = fs::status(path, failed);
  if (status.type() == fs::file_type::not_found) return "no such file";
  if (failed) return "can't be read: " + failed.message();
  if (status.type() == fs::file_type::directory) return "is a folder, not a design file";
  if (status.type() != fs::file_type::regular)
    return "is not a regular file (a FIFO, socket or device), not a design file";
  return "";
}

}  // namespace batch
