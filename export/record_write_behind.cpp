#include "export/record_write_behind.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "host/file_name.h"
#include "records/output_folders.h"

namespace {

// A record buffer that grew beyond this for a large record is given back once written, so
// that the slots don't keep the largest records of the export.
constexpr size_t kBufferKept = size_t{1} << 20;

// Writes the element's records in order. What this throws is kept in the slot, for the
// caller's thread to rethrow in its turn.
void writeRecords(ElementRecords& records) {
  try {
    for (size_t i = 0; i < ElementRecords::kFiles; ++i)
      if (records.texts[i].data() != nullptr)
        records.outcomes[i] =
            putRecordText(records.folder, ElementRecords::kFileNames[i], records.texts[i]);
  } catch (...) {
    records.failure = std::current_exception();
  }
}

}  // namespace

RecordWriteBehind::Mode RecordWriteBehind::MachineMode() {
  const char* inlineSwitch = std::getenv("TOLVANE_WRITE_INLINE");
  if (inlineSwitch && std::string_view(inlineSwitch) == "1") return Mode::Inline;
  return std::thread::hardware_concurrency() > 1 ? Mode::Behind : Mode::Inline;
}

RecordWriteBehind::RecordWriteBehind(Mode mode, size_t slots)
    : m_slots(std::max<size_t>(slots, 1)) {
  if (mode == Mode::Inline) return;
  try {
    m_thread = std::thread(&RecordWriteBehind::WriteLoop, this);
  } catch (const std::system_error&) {
    // No thread to be had: the writing stays on the caller's thread, which is slower only.
  }
}

RecordWriteBehind::~RecordWriteBehind() {
  if (m_thread.joinable()) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stopping = true;
    }
    m_workToDo.notify_one();
    m_thread.join();
  }
  // Reached without Drain only while an exception leaves the export: the elements handed over
  // before it are written, as they would have been one by one, and their messages shown. A
  // second exception here could only end the process.
  try {
    ReportUpTo(m_nextHanded);
  } catch (...) {
  }
}

ElementRecords& RecordWriteBehind::Next() {
  // When every slot is queued, wait for half of them: the writer then works through a batch
  // without waking this thread for each element.
  if (m_nextHanded - m_reported == m_slots.size())
    ReportUpTo(m_reported + std::max<size_t>(1, m_slots.size() / 2));
  ElementRecords& records = Slot(m_nextHanded);
  records.makeFolder = true;
  records.folderMade = false;
  records.folderTaken = false;
  std::fill(std::begin(records.outcomes), std::end(records.outcomes), RecordFileOutcome::Written);
  std::fill(std::begin(records.texts), std::end(records.texts), std::string_view());
  records.failure = nullptr;
  return records;
}

void RecordWriteBehind::Hand() {
  if (m_reportedFailure) return;
  ElementRecords& records = Slot(m_nextHanded);
  if (records.makeFolder) {
    const NewFolder made = makeNewElementFolder(records.folder.path);
    records.folderTaken = made == NewFolder::Taken;
    if (records.folderTaken) return;
    records.folderMade = made == NewFolder::Made;
  }
  if (!m_thread.joinable()) {
    writeRecords(records);
    ReportUpTo(++m_nextHanded);
    return;
  }
  bool writerIdle;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    writerIdle = m_handed == m_writtenCount;
    m_handed = ++m_nextHanded;
  }
  if (writerIdle) m_workToDo.notify_one();
}

void RecordWriteBehind::Drain() { ReportUpTo(m_nextHanded); }

void RecordWriteBehind::WriteLoop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_workToDo.wait(lock, [this] { return m_handed > m_writtenCount || m_stopping; });
    if (m_handed == m_writtenCount) return;  // stopping, and all is written
    ElementRecords& records = Slot(m_writtenCount);
    const bool passOver = m_threw;
    lock.unlock();
    if (!passOver) writeRecords(records);
    lock.lock();
    m_threw = m_threw || records.failure;
    ++m_writtenCount;
    if (m_wanted != 0 && m_writtenCount >= m_wanted) m_written.notify_one();
  }
}

void RecordWriteBehind::ReportUpTo(uint64_t count) {
  if (m_reportedFailure) return;
  uint64_t written = count;
  if (m_thread.joinable()) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wanted = count;
    m_written.wait(lock, [&] { return m_writtenCount >= count; });
    m_wanted = 0;
    written = m_writtenCount;
  }
  while (m_reported < written) {
    ElementRecords& records = Slot(m_reported++);
    Report(records);
    if (records.failure) {
      m_reportedFailure = true;
      RemoveFoldersPassedOver();
      std::rethrow_exception(records.failure);
    }
  }
}

// The elements handed over after the one whose writing threw are passed over, as the export
// ends there; the folders made for them would be left empty.
void RecordWriteBehind::RemoveFoldersPassedOver() {
  for (uint64_t index = m_reported; index < m_nextHanded; ++index)
    if (Slot(index).folderMade)
      BeFileName::EmptyAndRemoveDirectory(Slot(index).folder.path.c_str());
}

void RecordWriteBehind::Report(ElementRecords& records) {
  bool whole = records.failure == nullptr;
  for (size_t i = 0; i < ElementRecords::kFiles; ++i) {
    if (records.texts[i].data() == nullptr) {
      whole = false;
    } else if (records.outcomes[i] != RecordFileOutcome::Written) {
      whole = false;
      reportUnwrittenRecord(records.folder, ElementRecords::kFileNames[i]);
    }
  }
  if (whole) {
    ++m_elementsWritten;
    if (records.folderMade) ++m_foldersMade;
  } else {
    ++m_elementsFailed;
  }
  for (std::string& buffer : records.buffers)
    if (buffer.capacity() > kBufferKept) std::string().swap(buffer);
}
