#include "tools/batch/text_files.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "tools/path_text.h"
#include "tools/utf8_sequence.h"

namespace batch {

namespace fs = std::filesystem;

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t length = tools::Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string Printable(std::string_view text) {
  std::string shown;
  for (size_t i = 0; i < text.size();) {
    size_t length = tools::Utf8SequenceLength(text, i);
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
      *error = tools::PathText(path) + ": can't be written";
      return false;
    }
  }
  std::error_code failed;
  fs::rename(temp, path, failed);
  if (failed) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    *error = tools::PathText(path) + ": can't be written: " + failed.message();
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
