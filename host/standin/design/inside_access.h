// How the stand-in reaches its own data behind the host's interface objects. The interface
// headers name host::Inside as a friend and hand out nothing else, so the application sees
// only the host's operations while the stand-in's implementations read and change the design
// model through the functions here.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <memory>
#include <vector>

#include "host/dgn_model.h"
#include "host/ec_instances.h"
#include "host/element_handle.h"
#include "standin/design/design.h"

namespace host {

struct Inside {
  static Model& ModelOf(const DgnModel& model) { return model.m_model; }
  static DesignFile& DesignOf(const DgnFile& file) { return file.m_design; }

  // The attachments of a model, which the session fills once when it opens them; every
  // attachment of the model shows this one list.
  static std::vector<std::unique_ptr<DgnAttachment>>& AttachmentsOf(DgnModel& model) {
    return model.m_attachments;
  }

  // The element behind a handle: the one it holds in its own descriptor, else the one stored
  // in a model; null for an invalid handle.
  static const Element* ElementOf(const ElementHandle& handle) {
    if (handle.m_descr) return handle.m_descr->el.element;
    return handle.m_element.element;
  }
  // The new element a handle holds and owns, not yet added to a model; else null.
  static Element* NewElementOf(EditElementHandle& handle) {
    return handle.m_descr ? handle.m_descr->owned.get() : nullptr;
  }
  static void SetNewElement(EditElementHandle& handle, std::unique_ptr<Element> element,
                            DgnModelRefP modelRef) {
    handle.SetElementDescr(std::move(element), modelRef);
  }

  static const Element* ElementOf(const FindInstancesScope& scope) { return scope.m_element; }
  static const DesignFile* DesignOf(const FindInstancesScope& scope) { return scope.m_design; }
};

}  // namespace host
