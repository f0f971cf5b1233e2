// Elements as the host hands them out: handles, handlers and the element's stored data.
#pragma once

#include <memory>

#include "host/dgn_model.h"
#include "host/geometry.h"
#include "host/host_types.h"
#include "host/wstring.h"

namespace host {
struct Element;
struct Inside;
}  // namespace host

class ElementRefBase;
class DisplayHandler;
class ElementHandle;
using ElementHandleCR = const ElementHandle&;

// The element's own data, as the host stores it.
struct MSElement {
  const host::Element* element = nullptr;
  const DgnModel* model = nullptr;
};
using MSElementCP = const MSElement*;

// An element held in memory by a handle rather than stored in a model.
struct MSElementDescr {
  MSElementDescr();
  ~MSElementDescr();
  MSElement el;
  std::unique_ptr<host::Element> owned;
  // Frees the descriptor and the element it holds.
  void Release();
};
using MSElementDescrCP = const MSElementDescr*;

enum MissingHandlerPermissions : int { MISSING_HANDLER_PERMISSION_None = 0 };

// What the host knows how to do with an element of one type. An element that can't be
// found has a handler without a display handler.
class Handler {
 public:
  virtual ~Handler() = default;
  // Null when the element can't be displayed.
  virtual DisplayHandler* GetDisplayHandler() { return nullptr; }
  // The element's description ("Line", "Cell: NAME", ...), cut to desiredLength characters.
  virtual void GetDescription(ElementHandleCR element, WString& description,
                              uint32_t desiredLength);
};

class DisplayHandler : public Handler {
 public:
  DisplayHandler* GetDisplayHandler() override { return this; }
  void GetDescription(ElementHandleCR element, WString& description,
                      uint32_t desiredLength) override;
  // The range of the element's geometry in model coordinates; false when the element has
  // no geometry to measure (the range is then left alone).
  virtual bool GetBasisRange(ElementHandleCR element, DRange3d& range);
};

class ElementHandle {
 public:
  ElementHandle() = default;  // invalid
  ElementHandle(ElementRefBase* elementRef, DgnModelRefP modelRef);
  // The element with that id in the model reference's model; invalid when there is none.
  ElementHandle(ElementId id, DgnModelRefP modelRef);
  virtual ~ElementHandle();
  ElementHandle(const ElementHandle&) = delete;
  ElementHandle& operator=(const ElementHandle&) = delete;

  void Init(ElementRefBase* elementRef, DgnModelRefP modelRef);
  bool IsValid() const;
  ElementId GetElementId() const;
  ElementRefBase* GetElementRef() const { return m_ref; }
  DgnModelRefP GetModelRef() const { return m_modelRef; }
  // The model that holds the element (for an attachment, the attached model).
  DgnModelP GetDgnModelP() const;
  // Never null: an invalid handle gives a handler without a display handler.
  Handler& GetHandler(
      MissingHandlerPermissions permissions = MISSING_HANDLER_PERMISSION_None) const;
  // The descriptor the handle owns, or null for an element stored in a model.
  MSElementDescrCP GetElementDescrCP() const { return m_descr.get(); }
  // The element's data; null for an invalid handle.
  MSElementCP GetUnstableMSElementCP() const;

 protected:
  friend struct host::Inside;
  ElementRefBase* m_ref = nullptr;
  DgnModelRefP m_modelRef = nullptr;
  MSElement m_element;
  std::unique_ptr<MSElementDescr> m_descr;
};

// A handle that can hold a new element and add it to a model.
class EditElementHandle : public ElementHandle {
 public:
  EditElementHandle() = default;
  // Adds the held element to the active model: next id of the model, level 64,
  // transparency 0. Non-zero when the handle holds no new element.
  StatusInt AddToModel();

 private:
  friend struct host::Inside;
  // Takes the element into the handle's own descriptor, for the model reference.
  void SetElementDescr(std::unique_ptr<host::Element> element, DgnModelRefP modelRef);
};

// Fills range with the element's stored range; non-zero (range untouched) for null data.
StatusInt mdlElement_extractRange(DRange3d* range, MSElementCP element);
