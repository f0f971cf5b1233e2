// The plan of a batch: which designs, in which order, and where each one's output goes.
//
// The manifest lives in the output root as "manifest.jsonl": one JSON object per line, one
// line per design, with its index (from 1, in the order of the list), the line of the list
// that named it, its absolute path and its own output folder (relative to the root). Every
// design has a folder of its own, and in it its own drive C, so that two designs of the same
// name never write into one place.
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <vector>

namespace batch {

struct Entry {
  int index = 0;        // from 1, dense: the Slurm array index and --index of run-one
  int line = 0;         // the list's line that named the design
  std::string design;   // absolute path, UTF-8; for an unusable line, the line as shown
  std::string output;   // the design's folder, relative to the root ("designs/000001")
  std::string problem;  // why the line can't name a design at all (not UTF-8); else empty
};

inline constexpr char kManifestName[] = "manifest.jsonl";

// Reads a list of design paths, one a line (blank lines skipped, CR LF taken as LF; a
// relative path is taken from base). Each other line becomes an entry, also one that names
// no usable file: that design then fails by itself when run, and the rest of the batch goes
// on. For each line that names nothing to export, a note "LIST:LINE: PATH: why" is added to
// *notes.
std::vector<Entry> PlanEntries(std::istream& list, const std::string& listName,
                               const std::filesystem::path& base, std::vector<std::string>* notes);

// Writes the manifest of entries into root (made when missing), replacing one already there
// at once. False, with *error, when it can't.
bool WriteManifest(const std::filesystem::path& root, const std::vector<Entry>& entries,
                   std::string* error);

// Reads root's manifest. False, with *error naming the file and line, when it is missing or
// a line is not an entry.
bool ReadManifest(const std::filesystem::path& root, std::vector<Entry>* entries,
                  std::string* error);

}  // namespace batch
