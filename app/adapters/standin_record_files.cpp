#include "app/adapters/standin_record_files.h"

#include <cstdint>
#include <limits>

#include "host/file_name.h"

namespace {

class StandInFiles final : public RecordFiles {
 public:
  // One write of all the bytes, so that a file is made whole or cut short, never in pieces.
  Outcome Write(WCharCP path, std::string_view bytes) override {
    if (bytes.size() > std::numeric_limits<uint32_t>::max()) return Outcome::NotOpened;
    BeFile file;
    if (file.Create(path) != BeFileStatus::Success) return Outcome::NotOpened;
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    uint32_t written = 0;
    const bool wrote =
        file.Write(&written, bytes.data(), size) == BeFileStatus::Success && written == size;
    const bool closed = file.Close() == BeFileStatus::Success;
    return wrote && closed ? Outcome::Written : Outcome::CutShort;
  }
  void Remove(WCharCP path) override { BeFileName::BeDeleteFile(path); }
  bool Read(WCharCP path, std::string* bytes) override {
    bytes->clear();
    if (BeFile::ReadEntireFile(*bytes, path) == BeFileStatus::Success) return true;
    bytes->clear();
    return false;
  }
};

}  // namespace

RecordFiles& StandInRecordFiles() {
  static StandInFiles files;
  return files;
}
