#include "tools/batch/completion.h"

#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

#include "tools/batch/sha256.h"
#include "tools/batch/text_files.h"
#include "tools/path_text.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

constexpr char kOutputTo[] = "Output to ";
constexpr char kCantWrite[] = "Can't write file ";

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The shell's notes start with its name; the reason reads better without it.
std::string withoutShellName(const std::string& note) {
  const std::string prefix = "tolvane-host: ";
  return startsWith(note, prefix.c_str()) ? note.substr(prefix.size()) : note;
}

Json::Value lines(const std::vector<std::string>& texts) {
  Json::Value array(Json::arrayValue);
  for (const std::string& text : texts) array.append(Printable(text));
  return array;
}

// The time now in UTC as ISO 8601 text, from the calendar of <chrono> alone.
std::string utcNow() {
  using namespace std::chrono;
  const auto now = floor<seconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss time(now - day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02lldZ", int(date.year()),
                unsigned(date.month()), unsigned(date.day()), long(time.hours().count()),
                long(time.minutes().count()), static_cast<long long>(time.seconds().count()));
  return text;
}

bool readJson(const fs::path& path, Json::Value* value) {
  std::string text;
  if (!ReadFile(path, &text)) return false;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  return reader->parse(text.data(), text.data() + text.size(), value, nullptr) && value->isObject();
}

bool hashFile(const fs::path& path, std::string* hex) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  Sha256 hash;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    hash.Update(buffer, static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) return false;
  *hex = hash.HexDigest();
  return true;
}

}  // namespace

std::string JudgeExport(const ChildExit& exit, const std::vector<std::string>& messages,
                        const std::vector<std::string>& notes) {
  if (exit.killed) return "tolvane-host was ended by signal " + std::to_string(exit.code);
  for (const std::string& message : messages) {
    if (startsWith(message, kCantWrite)) return message;
  }
  const bool placed = std::any_of(messages.begin(), messages.end(),
                                  [](const std::string& m) { return startsWith(m, kOutputTo); });
  if (exit.code == 0 && placed) return "";
  // The last note is the shell's word on what stopped it (a design that can't be loaded, a
  // command that failed); a message stands before it when the export itself refused.
  std::string why;
  if (!placed && !messages.empty())
    why = messages.back();
  else if (!notes.empty())
    why = withoutShellName(notes.back());
  if (exit.code != 0) {
    const std::string status = "tolvane-host exited with status " + std::to_string(exit.code);
    return why.empty() ? status : why + " (" + status + ")";
  }
  return why.empty() ? "the export said nowhere where its output went" : why;
}

fs::path OutputFolderOf(const std::vector<std::string>& messages, const fs::path& driveC) {
  for (auto message = messages.rbegin(); message != messages.rend(); ++message) {
    if (!startsWith(*message, kOutputTo)) continue;
    std::string windows = message->substr(sizeof kOutputTo - 1);
    if (windows.size() < 3 || (windows[0] != 'C' && windows[0] != 'c') || windows[1] != ':' ||
        windows[2] != '\\')
      return {};
    fs::path local = driveC;
    size_t start = 3;
    while (start < windows.size()) {
      size_t end = windows.find('\\', start);
      if (end == std::string::npos) end = windows.size();
      std::string part = windows.substr(start, end - start);
      if (part == ".." || part == ".") return {};
      if (!part.empty()) local /= tools::TextPath(part);
      start = end + 1;
    }
    return local;
  }
  return {};
}

bool TreeDigest(const fs::path& tree, std::string* digest, int64_t* files, int64_t* elements,
                std::string* error) {
  std::vector<std::string> paths;
  *elements = 0;
  std::error_code failed;
  for (fs::recursive_directory_iterator it(tree, failed), end; !failed && it != end;
       it.increment(failed)) {
    if (it->is_directory()) {
      if (it.depth() == 0) ++*elements;
    } else {
      paths.push_back(tools::PathText(it->path().lexically_relative(tree)));
    }
  }
  if (failed) {
    *error = tools::PathText(tree) + ": can't be listed: " + failed.message();
    return false;
  }
  std::sort(paths.begin(), paths.end());
  Sha256 listing;
  for (const std::string& path : paths) {
    std::string hex;
    if (!hashFile(tree / tools::TextPath(path), &hex)) {
      *error = tools::PathText(tree / tools::TextPath(path)) + ": can't be read";
      return false;
    }
    listing.Update(hex + "  " + path + "\n");
  }
  *digest = listing.HexDigest();
  *files = static_cast<int64_t>(paths.size());
  return true;
}

bool WriteOutcome(const fs::path& folder, const Entry& entry, const Outcome& outcome,
                  std::string* error) {
  Json::Value record(Json::objectValue);
  record["index"] = entry.index;
  record["design"] = entry.design;
  record["exitStatus"] = outcome.exit.killed ? Json::Value() : Json::Value(outcome.exit.code);
  if (outcome.exit.killed) record["signal"] = outcome.exit.code;
  record["seconds"] = outcome.seconds;
  if (outcome.done) {
    record["tree"] = outcome.tree;
    record["elements"] = Json::Int64(outcome.elements);
    record["files"] = Json::Int64(outcome.files);
    record["digest"] = "sha256:" + outcome.digest;
  } else {
    record["reason"] = Printable(outcome.reason);
  }
  record["messages"] = lines(outcome.messages);
  record["notes"] = lines(outcome.notes);
  record["finished"] = utcNow();
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "  ";
  builder["emitUTF8"] = true;
  builder["precision"] = 3;
  builder["precisionType"] = "decimal";
  return WriteFileAtomically(folder / (outcome.done ? kDoneName : kFailedName),
                             Json::writeString(builder, record) + "\n", error);
}

DesignState StateOf(const fs::path& folder, const Entry& entry, std::string* reason) {
  Json::Value record;
  if (readJson(folder / kDoneName, &record) && record["design"] == entry.design &&
      record["index"] == entry.index && record["digest"].isString())
    return DesignState::Done;
  if (readJson(folder / kFailedName, &record) && record["design"] == entry.design) {
    *reason = record["reason"].asString();
    return DesignState::Failed;
  }
  return DesignState::Missing;
}

}  // namespace batch
