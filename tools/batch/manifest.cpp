#include "tools/batch/manifest.h"

#include <json/json.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "tools/batch/text_files.h"
#include "tools/path_text.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

std::string outputFolder(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "designs/%06d", index);
  return name;
}

bool isBlank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

std::string oneLine(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

bool parseEntry(const std::string& line, Entry* entry) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  if (!reader->parse(line.data(), line.data() + line.size(), &value, nullptr)) return false;
  if (!value.isObject() || !value["index"].isInt() || !value["line"].isInt() ||
      !value["design"].isString() || !value["output"].isString())
    return false;
  entry->index = value["index"].asInt();
  entry->line = value["line"].asInt();
  entry->design = value["design"].asString();
  entry->output = value["output"].asString();
  entry->problem = value.get("problem", "").asString();
  // The output folder is the tool's own name; anything else could reach out of the root.
  return entry->output == outputFolder(entry->index);
}

}  // namespace

std::vector<Entry> PlanEntries(std::istream& list, const std::string& listName,
                               const fs::path& base, std::vector<std::string>* notes) {
  std::vector<Entry> entries;
  std::string line;
  int lineNumber = 0;
  while (std::getline(list, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (isBlank(line)) continue;
    Entry entry;
    entry.index = static_cast<int>(entries.size()) + 1;
    entry.line = lineNumber;
    entry.output = outputFolder(entry.index);
    const std::string where = listName + ":" + std::to_string(lineNumber) + ": ";
    if (!IsValidUtf8(line)) {
      entry.design = Printable(line);
      entry.problem = "line " + std::to_string(lineNumber) + " of " + listName +
                      " is not valid UTF-8, so it names no file";
      notes->push_back(where + entry.design + ": not valid UTF-8");
    } else {
      entry.design = tools::PathText((base / tools::TextPath(line)).lexically_normal());
      std::string problem = DesignFileProblem(tools::TextPath(entry.design));
      if (!problem.empty()) notes->push_back(where + entry.design + ": " + problem);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool WriteManifest(const fs::path& root, const std::vector<Entry>& entries, std::string* error) {
  std::error_code failed;
  fs::create_directories(root, failed);
  if (failed) {
    *error = tools::PathText(root) + ": can't be made: " + failed.message();
    return false;
  }
  std::string text;
  for (const Entry& entry : entries) {
    Json::Value value(Json::objectValue);
    value["index"] = entry.index;
    value["line"] = entry.line;
    value["design"] = entry.design;
    value["output"] = entry.output;
    if (!entry.problem.empty()) value["problem"] = entry.problem;
    text += oneLine(value) + "\n";
  }
  return WriteFileAtomically(root / kManifestName, text, error);
}

bool ReadManifest(const fs::path& root, std::vector<Entry>* entries, std::string* error) {
  const fs::path path = root / kManifestName;
  std::string text;
  if (!ReadFile(path, &text)) {
    *error = tools::PathText(path) + ": can't be read (run plan first)";
    return false;
  }
  entries->clear();
  int lineNumber = 0;
  for (const std::string& line : SplitLines(text)) {
    ++lineNumber;
    Entry entry;
    if (!parseEntry(line, &entry) || entry.index != static_cast<int>(entries->size()) + 1) {
      *error =
          tools::PathText(path) + ":" + std::to_string(lineNumber) + ": not an entry of a manifest";
      return false;
    }
    entries->push_back(std::move(entry));
  }
  return true;
}

}  // namespace batch
