#include "testing/test_support.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "standin/files/file_system.h"

namespace test_support {

std::string ShellPath() { return TOLVANE_SHELL; }
std::string AppPath() { return TOLVANE_APP; }
std::string SourceDir() { return TOLVANE_SOURCE_DIR; }

ProcessResult RunShell(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env, const std::string& input) {
  return RunProcess(ShellPath(), args, env, input);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string MakeTempFolder(const std::string& stem) {
  std::random_device random;
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path = temp / (stem + "-" + std::to_string(random() % 1000000000));
    std::error_code error;
    if (std::filesystem::create_directory(path, error)) {
      const std::u8string text = path.generic_u8string();
      return std::string(text.begin(), text.end());
    }
    if (error) throw std::runtime_error("can't make a folder in " + temp.string());
  }
  throw std::runtime_error("can't make a fresh folder in " + temp.string());
}

namespace {

void setEnvironment(const std::string& name, const char* value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value ? value : "");
#else
  if (value)
    setenv(name.c_str(), value, 1);
  else
    unsetenv(name.c_str());
#endif
}

}  // namespace

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : m_name(name) {
  const char* previous = std::getenv(name);
  m_wasSet = previous != nullptr;
  if (previous) m_previous = previous;
  setEnvironment(m_name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
  setEnvironment(m_name, m_wasSet ? m_previous.c_str() : nullptr);
}

TempFolder::TempFolder() : m_path(MakeTempFolder("tolvane-test")) {}

// Through the stand-in's own file system, which names every file by its long form: a test
// may leave a file named for a device ("aux.dgn"), which std::filesystem's removal on Windows
// opens as the device and then waits on for ever.
TempFolder::~TempFolder() { host::LocalFileSystem().RemoveTree(m_path); }

std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(Utf8Path(folder), error)) {
    const std::u8string name = entry.path().filename().u8string();
    names.emplace(name.begin(), name.end());
  }
  return names;
}

std::string TempFolder::WriteFile(const std::string& name, const std::string& contents) const {
  std::string path = m_path + "/" + name;
  std::filesystem::create_directories(Utf8Path(path).parent_path());
  std::ofstream file(Utf8Path(path), std::ios::binary);
  file << contents;
  if (!file.flush()) throw std::runtime_error("can't write " + path);
  return path;
}

ScopedLocale::ScopedLocale(int category, const char* name) : m_category(category) {
  const char* previous = std::setlocale(category, nullptr);
  m_previous = previous ? previous : "C";
  m_ok = std::setlocale(category, name) != nullptr;
#ifdef _WIN32
  // The stand-in's locale text is UTF-8 there whatever the C runtime's locale, whose names
  // have no UTF-8 one: a UTF-8 locale is in force already.
  if (!m_ok && std::string_view(name).ends_with("UTF-8")) m_ok = true;
#endif
}

ScopedLocale::~ScopedLocale() { std::setlocale(m_category, m_previous.c_str()); }

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace test_support
