// The seeding API: tests build designs in code and open them as the host's session, capture
// the message window, and point drive C at a folder of their own.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "standin/design/design.h"

namespace host::seed {

// Builds one design file in code. Elements get the next id of their model unless the test
// sets one.
class DesignBuilder {
 public:
  // windowsPath is the file's full name as the application sees it, e.g. L"Z:\\p\\Site.dgn";
  // its local path follows from it.
  explicit DesignBuilder(const std::wstring& windowsPath = L"Z:\\projects\\Site.dgn");

  Model& AddModel(const std::string& name, double uorPerMeter = 1000);
  Element& AddElement(Model& model, ElementType type);
  Element& AddChild(Element& cell, ElementType type);
  // Convenience: a mesh element with points and one-based faces.
  Element& AddMesh(Model& model, std::vector<DPoint3d> points, std::vector<std::vector<int>> faces);
  void AddAttachment(Model& model, const std::string& file, const std::string& attachedModel = "");
  ClassDef& AddClass(const std::string& name, const std::string& label,
                     std::vector<PropertyDef> properties);
  void AddLevel(uint32_t id, const std::string& name, uint32_t byLevelColor);

  DesignFile& File() { return *m_file; }
  std::unique_ptr<DesignFile> Release() { return std::move(m_file); }

 private:
  std::unique_ptr<DesignFile> m_file;
};

// A design of one empty model "Default" at DesignBuilder's default path: the session of a test
// that needs one open but none of its elements.
std::unique_ptr<DesignFile> EmptyDesign();

// Opens a design as the session's active design for the lifetime of the object, with the
// session's messages captured. Attached files are looked up first among `others` by their
// local path, then on disk. Closes the session when destroyed.
class ScopedSession {
 public:
  explicit ScopedSession(std::unique_ptr<DesignFile> design,
                         std::vector<std::unique_ptr<DesignFile>> others = {});
  ~ScopedSession();
  ScopedSession(const ScopedSession&) = delete;
  ScopedSession& operator=(const ScopedSession&) = delete;

  // Every message-window line since the session opened (or since the last TakeMessages).
  const std::vector<std::string>& Messages() const { return m_messages; }
  std::vector<std::string> TakeMessages();
  const std::vector<std::string>& Notes() const { return m_notes; }

 private:
  std::vector<std::string> m_messages;
  std::vector<std::string> m_notes;
};

// Points drive C at a fresh temporary folder for its lifetime and removes it afterwards.
class ScopedDriveC {
 public:
  ScopedDriveC();
  ~ScopedDriveC();
  ScopedDriveC(const ScopedDriveC&) = delete;
  ScopedDriveC& operator=(const ScopedDriveC&) = delete;
  const std::string& LocalFolder() const { return m_folder; }

 private:
  std::string m_folder;
};

}  // namespace host::seed
