// The stand-in host's session: the open design with its attachments, the loaded
// application, and where messages go. One per process, as the real host has one.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/dgn_model.h"
#include "host/mdl.h"
#include "standin/design/design.h"

namespace host {

// Loads an attached design file by its local path; null with *error set when it can't.
using DesignResolver =
    std::function<std::unique_ptr<DesignFile>(const std::string& localPath, std::string* error)>;

class Session {
 public:
  static Session& Current();

  // Opens design as the active design: its active model, and the tree of attachments
  // reachable from it, each attached file loaded once through resolve (default: the
  // design loader on the local disk). Every attachment that can't be had is kept as a
  // missing-file attachment, and a note says why. Closes what was open before.
  void Open(std::unique_ptr<DesignFile> design, DesignResolver resolve = nullptr);
  void Close();

  DesignFile* ActiveDesign() const;
  DgnFile* ActiveDgnFile() const { return m_active; }
  DgnModel* ActiveDgnModel() const { return m_activeModel; }

  // Messages of the application (the message window) and notes of the host (standard
  // error by default).
  void SetMessageSink(std::function<void(const std::string&)> sink);
  void SetNoteSink(std::function<void(const std::string&)> sink);
  void Message(const std::string& text);
  void Note(const std::string& text);

  // The application: registered commands and key-in table.
  void SetLoadingApplication(const std::string& libraryPath) { m_appLibrary = libraryPath; }
  const std::string& LoadingApplication() const { return m_appLibrary; }
  void RegisterCommands(const MdlCommandNumber* table);
  CmdHandler FindCommand(uint64_t number) const;
  struct KeyinEntry {
    std::vector<std::string> words;  // upper case
    uint64_t number;
  };
  void SetKeyinTable(std::vector<KeyinEntry> entries) { m_keyins = std::move(entries); }
  const std::vector<KeyinEntry>& KeyinTable() const { return m_keyins; }

 private:
  struct LoadedFile {
    std::unique_ptr<DesignFile> design;
    std::unique_ptr<DgnFile> dgnFile;
    std::map<const Model*, std::unique_ptr<DgnModel>> models;
  };
  LoadedFile& Adopt(std::unique_ptr<DesignFile> design);
  DgnModel* WrapModel(LoadedFile& file, Model& model);
  void AttachAll(DgnModel& model, const DesignResolver& resolve);

  std::vector<std::unique_ptr<LoadedFile>> m_files;
  std::map<std::string, LoadedFile*> m_filesByPath;
  std::map<std::string, std::string> m_failedPaths;  // local path -> why it is missing
  std::set<const DgnModel*> m_attached;              // models whose attachments are open
  DgnFile* m_active = nullptr;
  DgnModel* m_activeModel = nullptr;
  std::function<void(const std::string&)> m_messageSink;
  std::function<void(const std::string&)> m_noteSink;
  std::string m_appLibrary;
  std::map<uint64_t, CmdHandler> m_commands;
  std::vector<KeyinEntry> m_keyins;
};

}  // namespace host
