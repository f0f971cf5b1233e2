// The write-behind held to writing each element in turn. Random runs of elements meet folders
// and files that the disk refuses, a disk that fills up, a file system that throws, and a
// caller that speaks between elements or throws itself. Every mode and number of slots must
// leave the same files, give the same messages in the same order and count the same elements
// written whole, folders and elements failed.
#include "export/record_write_behind.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/message/message.h"
#include "records/output_folders.h"
#include "standin/files/file_system.h"
#include "testing/fault_file_system.h"
#include "testing/memory_file_system.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

using host::testing::FileOp;

struct Step {
  std::string name;  // the element folder, inside C:\Temp\wb
  bool makeFolder = true;
  bool noGeometry = false;  // the caller has no geometry record for the element
  std::string texts[ElementRecords::kFiles];
  bool callerSpeaks = false;  // the caller shows a message of its own before this element
  bool callerThrows = false;  // the caller throws instead of handing this element over
};

struct Script {
  std::vector<Step> steps;
  std::vector<std::string> refusedFolders;  // their creation fails
  std::vector<std::string> refusedFiles;    // "e3/attr.json": its creation fails
  std::string throwingFile;                 // its creation throws
  std::string throwingFolder;               // its creation throws
  std::optional<uint64_t> diskBytes;        // the disk is full after this many bytes
};

// Throws where the script says, before the faults below it have their say.
class ThrowingFileSystem : public host::FileSystemWrapper {
 public:
  ThrowingFileSystem(host::FileSystem& target, const Script& script)
      : FileSystemWrapper(target), m_script(script) {}
  host::FileStatus CreateDirectory(const std::string& path) override {
    ThrowAt(path, m_script.throwingFolder);
    return FileSystemWrapper::CreateDirectory(path);
  }
  host::FileStatus NewWritableFile(const std::string& path,
                                   std::unique_ptr<host::WritableFile>* file) override {
    ThrowAt(path, m_script.throwingFile);
    return FileSystemWrapper::NewWritableFile(path, file);
  }

 private:
  static void ThrowAt(const std::string& path, const std::string& end) {
    if (!end.empty() && path.ends_with("/" + end)) throw std::runtime_error("thrown");
  }
  const Script& m_script;
};

Script randomScript(std::mt19937& random) {
  auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  Script script;
  const size_t count = 1 + random() % 30;
  for (size_t i = 0; i < count; ++i) {
    Step step;
    step.name = "e" + std::to_string(i);
    step.makeFolder = !chance(5);
    step.noGeometry = chance(5);
    for (std::string& text : step.texts)
      text.assign(random() % 2000, static_cast<char>('a' + i % 26));
    if (chance(1)) step.texts[0].assign((size_t{3} << 19) + random() % 1000, 'g');  // > 1 MiB
    step.callerSpeaks = chance(8);
    step.callerThrows = chance(2);
    if (chance(6)) script.refusedFolders.push_back("/" + step.name);
    if (chance(6))
      script.refusedFiles.push_back(step.name + "/" +
                                    ElementRecords::kFileNames[random() % ElementRecords::kFiles]);
    if (chance(2)) script.throwingFile = step.name + "/" + ElementRecords::kFileNames[1];
    if (chance(2)) script.throwingFolder = step.name;
    script.steps.push_back(std::move(step));
  }
  if (chance(15)) script.diskBytes = random() % (count * 3000);
  return script;
}

struct Outcome {
  std::map<std::string, std::string> files;  // under C:\Temp\wb, folders as "name/"
  std::vector<std::string> messages;
  // Elements written whole, their folders and the elements failed, when the run ended
  // without an exception.
  std::optional<std::array<int64_t, 3>> counts;
  bool threw = false;

  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  out << (outcome.threw ? "threw;" : "");
  if (outcome.counts)
    out << (*outcome.counts)[0] << " elements, " << (*outcome.counts)[1] << " folders, "
        << (*outcome.counts)[2] << " failed;";
  for (const auto& [path, bytes] : outcome.files) out << " " << path << "(" << bytes.size() << ")";
  for (const std::string& message : outcome.messages) out << "\n  " << message;
  return out;
}

WString folderPath(const Step& step) {
  return WString(L"C:\\Temp\\wb\\") + WString(step.name.begin(), step.name.end());
}

class WriteBehindTest : public ::testing::Test {
 protected:
  WriteBehindTest() : m_session(host::seed::EmptyDesign()) {}

  // Runs work over the script's faults on a fresh C:\Temp\wb, held in memory, and gathers
  // what it left there.
  template <typename Work>
  Outcome Run(const Script& script, Work&& work) {
    const std::string root = m_driveC.LocalFolder() + "/Temp/wb";
    host::testing::MemoryFileSystem disk;
    disk.AddDirectory(root);
    host::testing::FaultInjectingFileSystem faults(disk);
    for (const std::string& folder : script.refusedFolders)
      faults.FailOp(FileOp::CreateDirectory, folder);
    for (const std::string& file : script.refusedFiles)
      faults.FailOp(FileOp::NewWritableFile, file);
    if (script.diskBytes) faults.DiskFullAfter(*script.diskBytes);
    ThrowingFileSystem throwing(faults, script);
    Outcome outcome;
    {
      host::ScopedFileSystem installed(throwing);
      try {
        outcome.counts = work();
      } catch (const std::runtime_error&) {
        outcome.threw = true;
      }
    }
    outcome.messages = m_session.TakeMessages();
    for (const std::string& path : disk.Paths()) {
      if (!path.starts_with(root + "/")) continue;
      const std::optional<std::string> bytes = disk.FileContents(path);
      outcome.files[path.substr(root.size() + 1) + (bytes ? "" : "/")] = bytes.value_or("");
    }
    return outcome;
  }

  // Each element in turn, as the export wrote before it wrote behind.
  Outcome OneByOne(const Script& script) {
    return Run(script, [&] {
      std::array<int64_t, 3> counts{};
      for (const Step& step : script.steps) {
        if (step.callerSpeaks) printMessage("caller before %s", step.name.c_str());
        if (step.callerThrows) throw std::runtime_error("caller");
        const RecordFolder folder(folderPath(step));
        const bool made = step.makeFolder && makeElementFolder(folder.path) == 0;
        bool whole = !step.noGeometry;
        for (size_t i = step.noGeometry ? 1 : 0; i < ElementRecords::kFiles; ++i) {
          const char* name = ElementRecords::kFileNames[i];
          if (putRecordText(folder, name, step.texts[i]) == RecordFileOutcome::Written) continue;
          reportUnwrittenRecord(folder, name);
          whole = false;
        }
        ++counts[whole ? 0 : 2];
        counts[1] += whole && made;
      }
      return counts;
    });
  }

  Outcome Behind(const Script& script, RecordWriteBehind::Mode mode, size_t slots) {
    return Run(script, [&] {
      RecordWriteBehind writing(mode, slots);
      for (const Step& step : script.steps) {
        ElementRecords& records = writing.Next();
        if (step.callerSpeaks) {
          writing.Drain();
          printMessage("caller before %s", step.name.c_str());
        }
        if (step.callerThrows) throw std::runtime_error("caller");
        records.folder = RecordFolder(folderPath(step));
        records.makeFolder = step.makeFolder;
        for (size_t i = 0; i < ElementRecords::kFiles; ++i) {
          records.buffers[i] = step.texts[i];
          records.texts[i] = records.buffers[i];
        }
        if (step.noGeometry) records.texts[ElementRecords::Geometry] = std::string_view();
        writing.Hand();
      }
      writing.Drain();
      return std::array<int64_t, 3>{writing.ElementsWritten(), writing.FoldersMade(),
                                    writing.ElementsFailed()};
    });
  }

  test_support::ScopedLocale m_locale{LC_CTYPE, "C.UTF-8"};
  host::seed::ScopedDriveC m_driveC;
  host::seed::ScopedSession m_session;
};

TEST(WriteBehindMode, TheEnvironmentCanKeepTheWritingInline) {
  test_support::ScopedEnvironment inline_("TOLVANE_WRITE_INLINE", "1");
  EXPECT_EQ(RecordWriteBehind::MachineMode(), RecordWriteBehind::Mode::Inline);
}

TEST_F(WriteBehindTest, EveryModeLeavesWhatWritingOneByOneLeaves) {
  using Mode = RecordWriteBehind::Mode;
  const std::pair<Mode, size_t> ways[] = {{Mode::Inline, 4},
                                          {Mode::Behind, 1},
                                          {Mode::Behind, 2},
                                          {Mode::Behind, 3},
                                          {Mode::Behind, 16}};
  std::mt19937 random(41);
  size_t faulty = 0, thrown = 0, written = 0, failed = 0;
  for (int run = 0; run < 120; ++run) {
    const Script script = randomScript(random);
    const Outcome expected = OneByOne(script);
    faulty += !expected.messages.empty();
    thrown += expected.threw;
    written += expected.files.size();
    if (expected.counts) failed += static_cast<size_t>((*expected.counts)[2]);
    for (const auto& [mode, slots] : ways) {
      SCOPED_TRACE("run " + std::to_string(run) + (mode == Mode::Inline ? ", inline" : ", behind") +
                   ", " + std::to_string(slots) + " slots");
      EXPECT_EQ(Behind(script, mode, slots), expected);
    }
  }
  // The runs must have met the faults they are for.
  EXPECT_GT(faulty, 30u);
  EXPECT_GT(thrown, 10u);
  EXPECT_GT(written, 3000u);
  EXPECT_GT(failed, 30u);
}

}  // namespace
