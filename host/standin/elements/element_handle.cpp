#include "host/element_handle.h"

#include "standin/design/design.h"
#include "standin/design/inside_access.h"
#include "standin/design/storable.h"
#include "standin/geometry/geometry_range.h"
#include "standin/shell/session.h"

namespace {

DisplayHandler& displayHandler() {
  static DisplayHandler handler;
  return handler;
}

Handler& missingHandler() {
  static Handler handler;
  return handler;
}

WString describe(const host::Element& element) {
  using host::ElementType;
  switch (element.type) {
    case ElementType::Line:
      return L"Line";
    case ElementType::LineString:
      return L"Line String";
    case ElementType::Text:
      return L"Text";
    case ElementType::Shape:
      return L"Shape";
    case ElementType::Mesh:
      return L"Mesh";
    case ElementType::Extrusion:
      return L"Extrusion";
    case ElementType::Cone:
      return L"Cone";
    case ElementType::Sphere:
      return L"Sphere";
    case ElementType::Cell:
      return L"Cell: " + BeStringUtilities::Utf8ToWChar(element.cellName.c_str());
  }
  return L"";
}

}  // namespace

void Handler::GetDescription(ElementHandleCR, WString& description, uint32_t) {
  description.clear();
}

void DisplayHandler::GetDescription(ElementHandleCR element, WString& description,
                                    uint32_t desiredLength) {
  description.clear();
  if (const host::Element* impl = host::Inside::ElementOf(element)) description = describe(*impl);
  if (description.size() > desiredLength) description.resize(desiredLength);
}

bool DisplayHandler::GetBasisRange(ElementHandleCR element, DRange3d& range) {
  const host::Element* impl = host::Inside::ElementOf(element);
  if (!impl) return false;
  DRange3d computed = host::GeometryRange(*impl);
  if (computed.IsNull()) return false;
  range = computed;
  return true;
}

MSElementDescr::MSElementDescr() = default;
MSElementDescr::~MSElementDescr() = default;

void MSElementDescr::Release() {
  owned.reset();
  el = MSElement{};
}

ElementHandle::ElementHandle(ElementRefBase* elementRef, DgnModelRefP modelRef) {
  Init(elementRef, modelRef);
}

ElementHandle::ElementHandle(ElementId id, DgnModelRefP modelRef) {
  DgnModelP model = modelRef ? modelRef->GetDgnModelP() : nullptr;
  host::Element* element = model ? host::Inside::ModelOf(*model).FindElement(id) : nullptr;
  if (element) Init(element, modelRef);
}

ElementHandle::~ElementHandle() {
  if (m_descr) m_descr->Release();
}

void ElementHandle::Init(ElementRefBase* elementRef, DgnModelRefP modelRef) {
  m_ref = elementRef;
  m_modelRef = modelRef;
  m_descr.reset();
  auto* element = dynamic_cast<const host::Element*>(elementRef);
  m_element = MSElement{element, modelRef ? modelRef->GetDgnModelP() : nullptr};
}

ElementId ElementHandle::GetElementId() const {
  const host::Element* impl = host::Inside::ElementOf(*this);
  return impl ? impl->id : 0;
}

DgnModelP ElementHandle::GetDgnModelP() const {
  return m_modelRef ? m_modelRef->GetDgnModelP() : nullptr;
}

Handler& ElementHandle::GetHandler(MissingHandlerPermissions) const {
  return IsValid() ? static_cast<Handler&>(displayHandler()) : missingHandler();
}

MSElementCP ElementHandle::GetUnstableMSElementCP() const {
  if (m_descr) return &m_descr->el;
  return m_element.element ? &m_element : nullptr;
}

bool ElementHandle::IsValid() const { return host::Inside::ElementOf(*this) != nullptr; }

void EditElementHandle::SetElementDescr(std::unique_ptr<host::Element> element,
                                        DgnModelRefP modelRef) {
  m_ref = nullptr;
  m_element = MSElement{};
  m_modelRef = modelRef;
  m_descr = std::make_unique<MSElementDescr>();
  m_descr->el = MSElement{element.get(), modelRef ? modelRef->GetDgnModelP() : nullptr};
  m_descr->owned = std::move(element);
}

StatusInt EditElementHandle::AddToModel() {
  DgnModelP active = ISessionMgr::GetActiveDgnModelP();
  if (!m_descr || !m_descr->owned || !active) return ERROR;
  host::Model& model = host::Inside::ModelOf(*active);
  // What the design couldn't store, or couldn't give an id of its own, stays out: a save
  // would write a design that the loader refuses. The handle keeps the element.
  uint64_t id = model.FreeElementId();
  if (id == 0 || !host::IsStorable(*m_descr->owned)) return ERROR;
  std::unique_ptr<host::Element> element = std::move(m_descr->owned);
  element->id = id;
  element->level = host::kDefaultLevelId;
  element->transparency = 0;
  model.elements.push_back(std::move(element));
  model.changed = true;
  m_descr.reset();
  Init(model.elements.back().get(), active);
  return SUCCESS;
}

StatusInt mdlElement_extractRange(DRange3d* range, MSElementCP element) {
  if (!range || !element || !element->element) return ERROR;
  const host::Element& impl = *element->element;
  *range = impl.storedRange ? *impl.storedRange : host::GeometryRange(impl);
  return SUCCESS;
}
