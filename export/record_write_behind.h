// The export's writing of record files, done behind the making of the records: while a thread
// of its own writes one element's files, the export facets the next elements and makes their
// records. The file system's work and the export's own then run side by side, and an export
// takes about as long as its system calls.
//
// What the caller sees is what writing each element in turn would give. An element's folder
// is made on the caller's thread as the element is handed over, before its files; the files
// are written in the order the elements were handed over; and every outcome (the "Can't write
// file" messages, the folders made, an exception) reaches the caller's thread in that order.
// The folders of the elements handed over must differ from one another: the export's folder
// claims tell names apart, and a folder that the file system takes for one made before (on
// Windows "Walls" for "walls") is found when it is made, and its element is not written.
//
// The writing thread asks for nothing but the connected record files (app/ports/
// record_files.h: write a file whole, remove one cut short); the elements, the message
// output and the status service are used on the caller's thread only. That the host's file
// functions may be called from a second thread is an assumption; TOLVANE_WRITE_INLINE=1 drops
// it (see MachineMode).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "records/base.h"

// One element's share of the writing: its folder and its three records, filled by the caller,
// and what the writing did with them. A slot serves element after element, so that the
// buffers' room is reused.
struct ElementRecords {
  // The records, in the order they are written.
  enum File : size_t { Geometry, Component, Attribute, kFiles };
  static constexpr const char* kFileNames[kFiles] = {"geo.json", "component.json", "attr.json"};

  RecordFolder folder;
  bool makeFolder = true;          // false: the folder is left as it is (an element with no model)
  std::string buffers[kFiles];     // where the caller makes the records; room kept
  std::string_view texts[kFiles];  // the records, in the order of kFileNames; a null one (the
                                   // caller had no record to give) is not written

  // Set by Hand and the writing.
  bool folderMade = false;
  bool folderTaken = false;  // the folder was there already: nothing of the element is written
  RecordFileOutcome outcomes[kFiles] = {};
  std::exception_ptr failure;  // what the writing of this element threw, if anything
};

class RecordWriteBehind {
 public:
  enum class Mode {
    Behind,  // on a thread of its own
    Inline,  // on the caller's thread, as each element is handed over
  };
  // The mode the export uses: Behind where a second processor can take the writing, unless
  // the environment holds TOLVANE_WRITE_INLINE=1, for a host whose file functions must not be
  // called from a second thread: then Inline.
  static Mode MachineMode();

  // slots (at least 1) bounds the elements handed over and not yet written, and with them the
  // memory that their records hold. A thread that can't be started leaves the writing inline.
  explicit RecordWriteBehind(Mode mode = MachineMode(), size_t slots = 16);
  // Writes whatever was handed over and is not written yet and reports it (see Drain), unless
  // a writing threw; nothing thrown leaves the destructor.
  ~RecordWriteBehind();
  RecordWriteBehind(const RecordWriteBehind&) = delete;
  RecordWriteBehind& operator=(const RecordWriteBehind&) = delete;

  // The slot for the next element, to be filled and handed over, or left for the next call.
  // Waits while every slot is still queued, and reports the elements written meanwhile, as
  // Drain does; it rethrows as Drain does.
  ElementRecords& Next();
  // Makes the slot's folder as a new folder (when it asks for one), and queues the slot that
  // Next gave for the writing of its files. A folder that is there already was made by an
  // element before, under a name the file system takes for the same: the slot is then marked
  // folderTaken and not queued, and the next call of Next gives it again. What making the
  // folder throws leaves here, with the slot not queued.
  void Hand();
  // Waits until every element handed over is written, then reports each in turn: a
  // "Can't write file" message for each record file not written, and the element counted as
  // written (all its records on disk) or failed. An exception that writing an element threw is
  // rethrown when that element's turn comes; the elements handed over after it are not written, and
  // the folders made for them are removed again.
  void Drain();

  // Among the elements reported: those whose records are all on disk, the folders made for
  // them, and the elements that lack a record (not written, or null).
  int64_t ElementsWritten() const { return m_elementsWritten; }
  int64_t FoldersMade() const { return m_foldersMade; }
  int64_t ElementsFailed() const { return m_elementsFailed; }

 private:
  void WriteLoop();
  // Waits until the writing reached count elements (or threw), then reports what it wrote.
  void ReportUpTo(uint64_t count);
  void Report(ElementRecords& records);
  void RemoveFoldersPassedOver();
  ElementRecords& Slot(uint64_t index) { return m_slots[index % m_slots.size()]; }

  std::vector<ElementRecords> m_slots;
  uint64_t m_reported = 0;        // elements reported; the caller's alone
  uint64_t m_nextHanded = 0;      // the caller's copy of m_handed
  int64_t m_elementsWritten = 0;  // the caller's alone, as are the two below
  int64_t m_foldersMade = 0;
  int64_t m_elementsFailed = 0;
  bool m_reportedFailure = false;  // a writing's exception was rethrown: nothing more is done

  std::mutex m_mutex;
  std::condition_variable m_workToDo;  // the writer waits on it for work or the end
  std::condition_variable m_written;   // the caller waits on it for room or the end of work
  uint64_t m_handed = 0;               // elements handed over
  uint64_t m_writtenCount = 0;         // elements written (or passed over after a throw)
  uint64_t m_wanted = 0;               // the written count the caller waits for; 0: none
  bool m_stopping = false;             // no more work comes
  bool m_threw = false;                // a writing threw: what follows is passed over

  std::thread m_thread;  // last: started when all else is ready; not joinable when inline
};
