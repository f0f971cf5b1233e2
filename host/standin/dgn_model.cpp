#include "host/dgn_model.h"

#include "standin/design.h"
#include "standin/session.h"
#include "host/symbology.h"

namespace {

void collectReachable(DgnModelRef& ref, std::vector<DgnModelRefP>& out) {
  out.push_back(&ref);
  for (const auto& attachment : ref.GetAttachments()) collectReachable(*attachment, out);
}

}  // namespace

DgnFileP DgnModelRef::GetDgnFileP() const {
  DgnModelP model = GetDgnModelP();
  return model ? model->GetDgnFileP() : nullptr;
}

ReachableModelRefCollection DgnModelRef::GetReachableModelRefs(const ReachableModelRefOptions*) {
  std::vector<DgnModelRefP> refs;
  collectReachable(*this, refs);
  return ReachableModelRefCollection(std::move(refs));
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

DgnFile::DgnFile(host::DesignFile& design)
    : m_design(design),
      m_fileName(design.windowsPath),
      m_levelCache(std::make_unique<LevelCache>(design)),
      m_colorMap(std::make_unique<DgnColorMap>(design)) {}

DgnFile::~DgnFile() = default;

ReachableModelRefIterator::ReachableModelRefIterator(const std::vector<DgnModelRefP>* refs,
                                                     size_t at) {
  if (refs && at < refs->size()) m_impl = std::make_shared<Impl>(Impl{refs, at});
}

DgnModelRefP ReachableModelRefIterator::GetCurrent() const {
  return m_impl ? (*m_impl->refs)[m_impl->at] : nullptr;
}

// Stepping past the last reference drops the implementation object, so the iterator then
// equals the end iterator.
void ReachableModelRefIterator::MoveToNext() {
  if (!m_impl) return;
  if (m_impl.use_count() > 1) m_impl = std::make_shared<Impl>(*m_impl);
  if (++m_impl->at >= m_impl->refs->size()) m_impl.reset();
}

bool ReachableModelRefIterator::IsDifferent(const ReachableModelRefIterator& other) const {
  return m_impl->refs != other.m_impl->refs || m_impl->at != other.m_impl->at;
}

bool ReachableModelRefIterator::operator!=(const ReachableModelRefIterator& other) const {
  if (!m_impl || !other.m_impl) return static_cast<bool>(m_impl) != static_cast<bool>(other.m_impl);
  return IsDifferent(other);
}

ReachableModelRefIterator ReachableModelRefCollection::begin() const {
  return ReachableModelRefIterator(&m_refs, 0);
}

DgnFileP ISessionMgr::GetActiveDgnFile() { return host::Session::Current().ActiveDgnFile(); }

DgnModelP ISessionMgr::GetActiveDgnModelP() { return host::Session::Current().ActiveDgnModel(); }

DgnModelRefP ISessionMgr::GetActiveDgnModelRefP() {
  return host::Session::Current().ActiveDgnModel();
}
