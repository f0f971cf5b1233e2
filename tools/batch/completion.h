// What became of one design: its completion record when the export is on disk whole, or its
// failure record. The batch judges a design by these records alone, never by the exit status
// of a batch engine, which may report success for a task that never ran.
//
// Both records lie in the design's own folder, beside its drive C, and are written atomically:
// "done.json" (the completion record) and "failed.json". A design with neither has not been
// run to its end (never started, still running, or killed).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/batch/child_process.h"
#include "tools/batch/manifest.h"

namespace batch {

inline constexpr char kDoneName[] = "done.json";
inline constexpr char kFailedName[] = "failed.json";

struct Outcome {
  bool done = false;
  ChildExit exit;                     // of tolvane-host
  double seconds = 0;                 // the export's wall time
  int64_t elements = 0;               // element folders written
  int64_t files = 0;                  // files written
  std::vector<std::string> messages;  // the message window's lines (standard output)
  std::vector<std::string> notes;     // the shell's notes (standard error)
  std::string tree;                   // the export's folder, relative to the design's folder
  std::string digest;                 // see TreeDigest
  std::string reason;                 // why it failed; empty when done
};

// Why an export with this exit and these messages is not whole on disk, or empty when it is:
// the shell ended normally with status 0, a message says where the output went, and no
// record failed to be written. The reason is the shell's or the export's own first word on
// the matter, so that a user sees the cause, not a status number.
std::string JudgeExport(const ChildExit& exit, const std::vector<std::string>& messages,
                        const std::vector<std::string>& notes);

// The local folder of drive C's path in an "Output to C:\..." message, or empty when no
// message says where the output went.
std::filesystem::path OutputFolderOf(const std::vector<std::string>& messages,
                                     const std::filesystem::path& driveC);

// The digest of the files under tree: SHA-256 of the text that sha256sum prints for them,
// one line "HASH  PATH" per file, PATH relative to tree with '/', lines sorted by PATH's bytes.
// So `(cd TREE && find . -type f | LC_ALL=C sort | sed 's|^\./||' | xargs -d '\n' sha256sum |
// sha256sum)` gives the same digest. Also counts the files and the immediate sub-folders (the
// element folders). False, with *error, when a file can't be read.
bool TreeDigest(const std::filesystem::path& tree, std::string* digest, int64_t* files,
                int64_t* elements, std::string* error);

// Writes the record of outcome for entry into folder: done.json when outcome.done, else
// failed.json. False, with *error, when it can't be written.
bool WriteOutcome(const std::filesystem::path& folder, const Entry& entry, const Outcome& outcome,
                  std::string* error);

enum class DesignState { Done, Failed, Missing };

// The state of entry as its records in folder say. A completion record counts only when it is
// whole and names this entry's design and index (a record left by an earlier plan of another
// list does not). *reason gets a failed design's reason.
DesignState StateOf(const std::filesystem::path& folder, const Entry& entry, std::string* reason);

}  // namespace batch
