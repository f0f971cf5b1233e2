// Design files, models and model references of the host: the active file and model, and the
// models reachable from a model through its reference attachments.
#pragma once

#include <memory>
#include <vector>

#include "host/host_types.h"
#include "host/wstring.h"

namespace host {
struct DesignFile;
struct Model;
struct Inside;
}  // namespace host

class DgnFile;
class DgnModel;
class DgnAttachment;
class DgnColorMap;
class LevelCache;
class ReachableModelRefCollection;
struct ReachableModelRefOptions;

using DgnFileP = DgnFile*;
using DgnModelP = DgnModel*;

class ModelInfo {
 public:
  explicit ModelInfo(double uorPerMeter) : m_uorPerMeter(uorPerMeter) {}
  // Units of resolution in one metre of the model.
  double GetUorPerMeter() const { return m_uorPerMeter; }

 private:
  double m_uorPerMeter;
};

// A model as seen from the active model: the model itself or a reference attachment.
class DgnModelRef {
 public:
  virtual ~DgnModelRef() = default;
  // The model that the reference shows; null for an attachment whose file is missing.
  virtual DgnModelP GetDgnModelP() const = 0;
  DgnFileP GetDgnFileP() const;
  virtual bool IsDgnAttachment() const { return false; }
  virtual const DgnAttachment* AsDgnAttachmentCP() const { return nullptr; }
  // This reference first, then each attachment in order, each followed at once by what is
  // reachable from it. An attachment that leads back to a model already on its own chain
  // is yielded but not followed. A model reached by several paths is yielded once per path;
  // the walk is made as the iterator moves, holding only the path to where it stands.
  ReachableModelRefCollection GetReachableModelRefs(const ReachableModelRefOptions* options);
  // The level table of the referenced model's file.
  LevelCache& GetLevelCacheR() const;
  // The attachments of this reference, in the order of the design.
  virtual const std::vector<std::unique_ptr<DgnAttachment>>& GetAttachments() const = 0;
};
using DgnModelRefP = DgnModelRef*;

class DgnModel : public DgnModelRef {
 public:
  DgnModel(host::Model& model, DgnFile& file);
  ~DgnModel() override;
  DgnModelP GetDgnModelP() const override { return const_cast<DgnModel*>(this); }
  WCharCP GetModelName() const { return m_name.c_str(); }
  DgnFileP GetDgnFileP() const { return &m_file; }
  const ModelInfo& GetModelInfo() const { return m_info; }
  const std::vector<std::unique_ptr<DgnAttachment>>& GetAttachments() const override;

 private:
  friend struct host::Inside;
  host::Model& m_model;
  DgnFile& m_file;
  WString m_name;
  ModelInfo m_info;
  std::vector<std::unique_ptr<DgnAttachment>> m_attachments;
};

class DgnAttachment : public DgnModelRef {
 public:
  // target is null when the attachment's file is missing.
  DgnAttachment(DgnModelP target, WString fileName, bool missing);
  ~DgnAttachment() override;
  DgnModelP GetDgnModelP() const override { return m_target; }
  bool IsDgnAttachment() const override { return true; }
  const DgnAttachment* AsDgnAttachmentCP() const override { return this; }
  bool IsMissingFile() const { return m_missing; }
  // The attached file's name as the design gives it.
  WCharCP GetAttachFileName() const { return m_fileName.c_str(); }
  // The attachments of the attached model: every attachment of one model shares them, so
  // that a model reached by many paths is held once. None for a missing file.
  const std::vector<std::unique_ptr<DgnAttachment>>& GetAttachments() const override;

 private:
  friend struct host::Inside;
  DgnModelP m_target;
  WString m_fileName;
  bool m_missing;
};

class DgnFile {
 public:
  explicit DgnFile(host::DesignFile& design);
  ~DgnFile();
  // The file's full Windows path.
  const WString& GetFileName() const { return m_fileName; }
  LevelCache& GetLevelCacheR() const { return *m_levelCache; }
  DgnColorMap& GetColorMapR() const { return *m_colorMap; }

 private:
  friend struct host::Inside;
  host::DesignFile& m_design;
  WString m_fileName;
  std::unique_ptr<LevelCache> m_levelCache;
  std::unique_ptr<DgnColorMap> m_colorMap;
};

struct ReachableModelRefOptions {};

class ReachableModelRefIterator {
 public:
  ReachableModelRefIterator() = default;  // the end: no implementation object
  explicit ReachableModelRefIterator(DgnModelRefP root);
  DgnModelRefP GetCurrent() const;
  void MoveToNext();
  // Two iterators that both have an implementation object differ when they stand at
  // different places.
  bool IsDifferent(const ReachableModelRefIterator& other) const;
  bool operator!=(const ReachableModelRefIterator& other) const;
  bool operator==(const ReachableModelRefIterator& other) const { return !(*this != other); }
  ReachableModelRefIterator& operator++() {
    MoveToNext();
    return *this;
  }
  DgnModelRefP operator*() const { return GetCurrent(); }

 private:
  struct Impl;  // the path from the root to the current reference, and the steps taken
  std::shared_ptr<Impl> m_impl;
};

class ReachableModelRefCollection {
 public:
  explicit ReachableModelRefCollection(DgnModelRefP root) : m_root(root) {}
  ReachableModelRefIterator begin() const { return ReachableModelRefIterator(m_root); }
  ReachableModelRefIterator end() const { return ReachableModelRefIterator(); }
  // Walks the whole collection to count it.
  size_t size() const;

 private:
  DgnModelRefP m_root;
};

// The host's session: what is open now.
class ISessionMgr {
 public:
  static DgnFileP GetActiveDgnFile();
  static DgnModelP GetActiveDgnModelP();
  static DgnModelRefP GetActiveDgnModelRefP();
};
