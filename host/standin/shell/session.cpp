#include "standin/shell/session.h"
#include "standin/design/inside_access.h"

#include <algorithm>
#include <iostream>

#include "host/wstring.h"
#include "standin/design/design_loader.h"
#include "standin/files/paths.h"

namespace host {
namespace {

// The local path of an attached file: relative names are taken from the folder of the
// attaching file as the local disk names it (its bytes, whatever they hold: a backslash inside
// a folder name or text that isn't UTF-8 stays as it is), absolute ones (local or Windows form)
// are mapped as they are. Each component of a relative name is written as UTF-8; "." is
// dropped and ".." takes back one folder, never the root. Empty when the name is absolute on
// an unmapped drive.
std::string attachedLocalPath(const DesignFile& attaching, const std::string& file) {
  std::wstring wide = BeStringUtilities::Utf8ToWChar(file.c_str());
  if (wide.starts_with(L'/') || DriveLength(wide) != 0) {
    std::string local;
    if (!ToLocalPath(wide, &local)) return std::string();
    return local;
  }
  std::string local = LocalFolderOf(attaching.localPath);
  if (local == "/") local.clear();
  size_t begin = 0;
  while (begin <= file.size()) {
    size_t end = file.find_first_of("\\/", begin);
    if (end == std::string::npos) end = file.size();
    const std::string_view part(file.data() + begin, end - begin);
    if (part == "..") {
      const size_t slash = local.rfind('/');
      local.resize(slash == std::string::npos ? 0 : slash);
    } else if (!part.empty() && part != ".") {
      local.push_back('/');
      local.append(part);
    }
    begin = end + 1;
  }
  return local.empty() ? std::string("/") : local;
}

}  // namespace

Session& Session::Current() {
  static Session session;
  return session;
}

void Session::Close() {
  m_active = nullptr;
  m_activeModel = nullptr;
  m_filesByPath.clear();
  m_failedPaths.clear();
  m_attached.clear();
  m_files.clear();
  m_commands.clear();
  m_keyins.clear();
}

void Session::Open(std::unique_ptr<DesignFile> design, DesignResolver resolve) {
  Close();
  if (!resolve) resolve = LoadDesignFile;
  LoadedFile& active = Adopt(std::move(design));
  m_active = active.dgnFile.get();
  Model* model = active.design->ActiveModel();
  if (!model) return;
  m_activeModel = WrapModel(active, *model);
  AttachAll(*m_activeModel, resolve);
}

Session::LoadedFile& Session::Adopt(std::unique_ptr<DesignFile> design) {
  auto file = std::make_unique<LoadedFile>();
  file->design = std::move(design);
  for (auto& model : file->design->models) model->file = file->design.get();
  file->dgnFile = std::make_unique<DgnFile>(*file->design);
  m_filesByPath[file->design->localPath] = file.get();
  m_files.push_back(std::move(file));
  return *m_files.back();
}

DgnModel* Session::WrapModel(LoadedFile& file, Model& model) {
  auto& slot = file.models[&model];
  if (!slot) slot = std::make_unique<DgnModel>(model, *file.dgnFile);
  return slot.get();
}

// Opens the attachments of model, and then depth first those of each attached model. Each
// model's attachments are opened once, however many paths lead to it, and every attachment
// shows the one model object of its target: memory grows with the distinct files and
// models, not with the paths to them. A model already being opened further up (a cycle) is
// not opened again.
void Session::AttachAll(DgnModel& model, const DesignResolver& resolve) {
  if (!m_attached.insert(&model).second) return;
  const DesignFile& attaching = *host::Inside::ModelOf(model).file;
  for (const Attachment& given : host::Inside::ModelOf(model).attachments) {
    WString fileName = BeStringUtilities::Utf8ToWChar(given.file.c_str());
    std::string local = attachedLocalPath(attaching, given.file);
    std::string why;
    LoadedFile* loaded = nullptr;
    if (local.empty()) {
      why = "the drive is not mapped";
    } else if (auto found = m_filesByPath.find(local); found != m_filesByPath.end()) {
      loaded = found->second;
    } else if (auto failed = m_failedPaths.find(local); failed != m_failedPaths.end()) {
      why = failed->second;
    } else if (auto design = resolve(local, &why)) {
      design->localPath = local;
      if (design->windowsPath.empty()) design->windowsPath = ToWindowsPath(local);
      loaded = &Adopt(std::move(design));
    } else {
      m_failedPaths[local] = why;
      Note("reference " + given.file + " is missing: " + why);
    }
    Model* target = nullptr;
    if (loaded) {
      target =
          given.model ? loaded->design->FindModel(*given.model) : loaded->design->ActiveModel();
      if (!target) {
        why = "it has no model " + given.model.value_or("");
        Note("reference " + given.file + " is missing: " + why);
      }
    }
    DgnModel* targetModel = target ? WrapModel(*loaded, *target) : nullptr;
    host::Inside::AttachmentsOf(model).push_back(
        std::make_unique<DgnAttachment>(targetModel, fileName, !targetModel));
    if (targetModel) AttachAll(*targetModel, resolve);
  }
}

DesignFile* Session::ActiveDesign() const {
  return m_active ? &host::Inside::DesignOf(*m_active) : nullptr;
}

void Session::SetMessageSink(std::function<void(const std::string&)> sink) {
  m_messageSink = std::move(sink);
}

void Session::SetNoteSink(std::function<void(const std::string&)> sink) {
  m_noteSink = std::move(sink);
}

void Session::Message(const std::string& text) {
  if (m_messageSink)
    m_messageSink(text);
  else
    std::cout << text << std::endl;
}

void Session::Note(const std::string& text) {
  if (m_noteSink)
    m_noteSink(text);
  else
    std::cerr << "tolvane-host: " << text << std::endl;
}

void Session::RegisterCommands(const MdlCommandNumber* table) {
  for (const MdlCommandNumber* entry = table; entry->cmdFunc || entry->cmdNumber; ++entry)
    m_commands[entry->cmdNumber] = entry->cmdFunc;
}

CmdHandler Session::FindCommand(uint64_t number) const {
  auto found = m_commands.find(number);
  return found == m_commands.end() ? nullptr : found->second;
}

}  // namespace host
