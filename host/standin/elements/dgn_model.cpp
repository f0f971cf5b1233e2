#include "host/dgn_model.h"

#include "host/symbology.h"
#include "standin/design/design.h"
#include "standin/shell/session.h"

DgnFileP DgnModelRef::GetDgnFileP() const {
  DgnModelP model = GetDgnModelP();
  return model ? model->GetDgnFileP() : nullptr;
}

ReachableModelRefCollection DgnModelRef::GetReachableModelRefs(const ReachableModelRefOptions*) {
  return ReachableModelRefCollection(this);
}

LevelCache& DgnModelRef::GetLevelCacheR() const {
  DgnFileP file = GetDgnFileP();
  if (file) return file->GetLevelCacheR();
  // A missing attachment has no file of its own; its levels are those of the active file.
  return ISessionMgr::GetActiveDgnFile()->GetLevelCacheR();
}

DgnModel::DgnModel(host::Model& model, DgnFile& file)
    : m_model(model),
      m_file(file),
      m_name(BeStringUtilities::Utf8ToWChar(model.name.c_str())),
      m_info(model.uorPerMeter) {}

DgnModel::~DgnModel() = default;

const std::vector<std::unique_ptr<DgnAttachment>>& DgnModel::GetAttachments() const {
  return m_attachments;
}

DgnAttachment::DgnAttachment(DgnModelP target, WString fileName, bool missing)
    : m_target(target), m_fileName(std::move(fileName)), m_missing(missing) {}

DgnAttachment::~DgnAttachment() = default;

const std::vector<std::unique_ptr<DgnAttachment>>& DgnAttachment::GetAttachments() const {
  static const std::vector<std::unique_ptr<DgnAttachment>> none;
  return m_target ? m_target->GetAttachments() : none;
}

DgnFile::DgnFile(host::DesignFile& design)
    : m_design(design),
      m_fileName(design.windowsPath),
      m_levelCache(std::make_unique<LevelCache>(design)),
      m_colorMap(std::make_unique<DgnColorMap>(design)) {}

DgnFile::~DgnFile() = default;

struct ReachableModelRefIterator::Impl {
  struct Frame {
    DgnModelRefP ref;
    size_t next;  // the attachment of ref to visit next
  };
  std::vector<Frame> path;  // from the root to the current reference
  size_t at = 0;            // steps taken from the root

  // A reference is followed unless it shows no model or a model already on its chain.
  bool Followed() const {
    DgnModelP model = path.back().ref->GetDgnModelP();
    if (!model) return false;
    for (size_t i = 0; i + 1 < path.size(); ++i)
      if (path[i].ref->GetDgnModelP() == model) return false;
    return true;
  }

  // Depth first: into the current reference's first attachment when it is followed,
  // otherwise on to the next attachment of the nearest reference that has one left. False
  // at the end.
  bool Advance() {
    ++at;
    if (Followed() && !path.back().ref->GetAttachments().empty()) {
      DgnModelRefP first = path.back().ref->GetAttachments().front().get();
      path.back().next = 1;
      path.push_back({first, 0});
      return true;
    }
    while (path.size() > 1) {
      path.pop_back();
      Frame& parent = path.back();
      const auto& siblings = parent.ref->GetAttachments();
      if (parent.next < siblings.size()) {
        DgnModelRefP sibling = siblings[parent.next++].get();
        path.push_back({sibling, 0});
        return true;
      }
    }
    return false;
  }
};

ReachableModelRefIterator::ReachableModelRefIterator(DgnModelRefP root) {
  if (!root) return;
  m_impl = std::make_shared<Impl>();
  m_impl->path.push_back({root, 0});
}

DgnModelRefP ReachableModelRefIterator::GetCurrent() const {
  return m_impl ? m_impl->path.back().ref : nullptr;
}

// Stepping past the last reference drops the implementation object, so the iterator then
// equals the end iterator. Copies share the walk until one of them moves.
void ReachableModelRefIterator::MoveToNext() {
  if (!m_impl) return;
  if (m_impl.use_count() > 1) m_impl = std::make_shared<Impl>(*m_impl);
  if (!m_impl->Advance()) m_impl.reset();
}

bool ReachableModelRefIterator::IsDifferent(const ReachableModelRefIterator& other) const {
  return m_impl->path.front().ref != other.m_impl->path.front().ref ||
         m_impl->at != other.m_impl->at;
}

bool ReachableModelRefIterator::operator!=(const ReachableModelRefIterator& other) const {
  if (!m_impl || !other.m_impl) return static_cast<bool>(m_impl) != static_cast<bool>(other.m_impl);
  return IsDifferent(other);
}

size_t ReachableModelRefCollection::size() const {
  size_t count = 0;
  for (ReachableModelRefIterator it = begin(); it != end(); it.MoveToNext()) ++count;
  return count;
}

DgnFileP ISessionMgr::GetActiveDgnFile() { return host::Session::Current().ActiveDgnFile(); }

DgnModelP ISessionMgr::GetActiveDgnModelP() { return host::Session::Current().ActiveDgnModel(); }

DgnModelRefP ISessionMgr::GetActiveDgnModelRefP() {
  return host::Session::Current().ActiveDgnModel();
}
