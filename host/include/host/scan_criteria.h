// Scans of the elements of a model.
#pragma once

#include "host/dgn_model.h"
#include "host/host_types.h"

class ElementRefBase;
class ScanCriteria;

// Called once per element that the scan selects; the scan goes on while it returns 0.
using PFScanElemRefCallback = int (*)(ElementRefBase* element, CallbackArgP argument,
                                      ScanCriteria* criteria);

enum class DgnModelSections : int {
  None = 0,
  ControlElements = 1,
  GraphicElements = 4,
  All = 0xF,
};

class ScanCriteria {
 public:
  // The criteria are owned by the caller, who gives them back with Delete.
  static ScanCriteria* Create();
  static void Delete(ScanCriteria* criteria);

  StatusInt SetModelRef(DgnModelRefP modelRef);
  DgnModelRefP GetModelRef() const { return m_modelRef; }
  StatusInt SetModelSections(DgnModelSections sections);
  // Restricts the scan to drawn elements: those that are not invisible.
  void SetDrawnElements() { m_drawnOnly = true; }
  void SetElemRefCallback(PFScanElemRefCallback callback, CallbackArgP argument);
  // Calls the callback for each selected element of the model in file order; returns when
  // the scan is over. Non-zero when no model or no callback is set, or when a callback
  // stopped the scan with a non-zero answer.
  StatusInt Scan();

 private:
  ScanCriteria() = default;
  DgnModelRefP m_modelRef = nullptr;
  DgnModelSections m_sections = DgnModelSections::GraphicElements;
  bool m_drawnOnly = false;
  PFScanElemRefCallback m_callback = nullptr;
  CallbackArgP m_argument = nullptr;
};
