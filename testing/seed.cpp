#include "testing/seed.h"

#include <cstdlib>
#include <filesystem>

#include "standin/design/design_loader.h"
#include "standin/files/paths.h"
#include "standin/shell/session.h"
#include "testing/test_support.h"

namespace host::seed {

std::unique_ptr<DesignFile> EmptyDesign() {
  DesignBuilder builder;
  builder.AddModel("Default");
  return builder.Release();
}

DesignBuilder::DesignBuilder(const std::wstring& windowsPath) : m_file(NewDesignFile()) {
  m_file->windowsPath = windowsPath;
  ToLocalPath(windowsPath, &m_file->localPath);
}

Model& DesignBuilder::AddModel(const std::string& name, double uorPerMeter) {
  auto model = std::make_unique<Model>();
  model->file = m_file.get();
  model->name = name;
  model->uorPerMeter = uorPerMeter;
  m_file->models.push_back(std::move(model));
  if (m_file->activeModel.empty()) m_file->activeModel = name;
  return *m_file->models.back();
}

Element& DesignBuilder::AddElement(Model& model, ElementType type) {
  auto element = std::make_unique<Element>();
  element->id = model.NextElementId();
  element->type = type;
  model.elements.push_back(std::move(element));
  return *model.elements.back();
}

Element& DesignBuilder::AddChild(Element& cell, ElementType type) {
  auto child = std::make_unique<Element>();
  child->type = type;
  cell.children.push_back(std::move(child));
  return *cell.children.back();
}

Element& DesignBuilder::AddMesh(Model& model, std::vector<DPoint3d> points,
                                std::vector<std::vector<int>> faces) {
  Element& element = AddElement(model, ElementType::Mesh);
  element.points = std::move(points);
  element.faces = std::move(faces);
  return element;
}

void DesignBuilder::AddAttachment(Model& model, const std::string& file,
                                  const std::string& attachedModel) {
  Attachment attachment;
  attachment.file = file;
  if (!attachedModel.empty()) attachment.model = attachedModel;
  model.attachments.push_back(attachment);
}

ClassDef& DesignBuilder::AddClass(const std::string& name, const std::string& label,
                                  std::vector<PropertyDef> properties) {
  m_file->classes.push_back(ClassDef{name, label, std::move(properties)});
  return m_file->classes.back();
}

void DesignBuilder::AddLevel(uint32_t id, const std::string& name, uint32_t byLevelColor) {
  for (auto& level : m_file->levels) {
    if (level.id == id) {
      level = Level{id, name, byLevelColor};
      return;
    }
  }
  m_file->levels.push_back(Level{id, name, byLevelColor});
}

ScopedSession::ScopedSession(std::unique_ptr<DesignFile> design,
                             std::vector<std::unique_ptr<DesignFile>> others) {
  Session& session = Session::Current();
  session.SetMessageSink([this](const std::string& text) { m_messages.push_back(text); });
  session.SetNoteSink([this](const std::string& text) { m_notes.push_back(text); });
  auto pool = std::make_shared<std::vector<std::unique_ptr<DesignFile>>>(std::move(others));
  session.Open(std::move(design), [pool](const std::string& localPath, std::string* error) {
    for (auto& other : *pool)
      if (other && other->localPath == localPath) return std::move(other);
    return LoadDesignFile(localPath, error);
  });
}

ScopedSession::~ScopedSession() {
  Session& session = Session::Current();
  session.Close();
  session.SetMessageSink(nullptr);
  session.SetNoteSink(nullptr);
}

std::vector<std::string> ScopedSession::TakeMessages() {
  std::vector<std::string> taken;
  taken.swap(m_messages);
  return taken;
}

ScopedDriveC::ScopedDriveC() : m_folder(test_support::MakeTempFolder("tolvane-drive-c")) {
  SetDriveCFolder(m_folder);
}

ScopedDriveC::~ScopedDriveC() {
  SetDriveCFolder("");
  std::error_code ignored;
  if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
}

}  // namespace host::seed
