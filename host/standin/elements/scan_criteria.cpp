#include "host/scan_criteria.h"

#include "standin/design/design.h"
#include "standin/design/inside_access.h"

ScanCriteria* ScanCriteria::Create() { return new ScanCriteria(); }

void ScanCriteria::Delete(ScanCriteria* criteria) { delete criteria; }

StatusInt ScanCriteria::SetModelRef(DgnModelRefP modelRef) {
  m_modelRef = modelRef;
  return modelRef && modelRef->GetDgnModelP() ? SUCCESS : ERROR;
}

StatusInt ScanCriteria::SetModelSections(DgnModelSections sections) {
  m_sections = sections;
  return SUCCESS;
}

void ScanCriteria::SetElemRefCallback(PFScanElemRefCallback callback, CallbackArgP argument) {
  m_callback = callback;
  m_argument = argument;
}

StatusInt ScanCriteria::Scan() {
  DgnModelP model = m_modelRef ? m_modelRef->GetDgnModelP() : nullptr;
  if (!model || !m_callback) return ERROR;
  // Every element of a design is graphic; a scan of other sections finds nothing.
  if ((static_cast<int>(m_sections) & static_cast<int>(DgnModelSections::GraphicElements)) == 0)
    return SUCCESS;
  // Elements added by a callback are not visited by this scan.
  auto& elements = host::Inside::ModelOf(*model).elements;
  size_t count = elements.size();
  for (size_t i = 0; i < count; ++i) {
    host::Element* element = elements[i].get();
    if (m_drawnOnly && element->invisible) continue;
    if (m_callback(element, m_argument, this) != 0) return ERROR;
  }
  return SUCCESS;
}
