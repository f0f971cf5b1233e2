// Paths as the tools take and print them: UTF-8 text with "/" between components, on every
// platform. It is the form the stand-in's file system takes, and a script reads the same
// bytes on Windows and Linux. (std::filesystem::path::string() gives the ANSI code page on
// Windows, where a name outside it would be lost.)
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tools {

inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

inline std::filesystem::path TextPath(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace tools
