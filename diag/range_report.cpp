#include "diag/range_report.h"

#include "app/message/message.h"
#include "host/element_handle.h"
#include "host/geometry.h"
#include "host/mdl.h"

namespace {

void printRange(const char* format, const DRange3d& range) {
  printMessage(format, range.low.x, range.low.y, range.low.z, range.high.x, range.high.y,
               range.high.z);
}

// The element's own data: the element held by the handle's descriptor when it has one.
MSElementCP storedElementOf(const ElementHandle& element) {
  MSElementDescrCP descriptor = element.GetElementDescrCP();
  return descriptor ? &descriptor->el : element.GetUnstableMSElementCP();
}

}  // namespace

void rangeReportCommand(WCharCP /*unparsed*/) {
  const auto id = static_cast<unsigned long long>(kRangeReportElementId);
  ElementHandle element(kRangeReportElementId, mdlModelRef_getActive());
  if (!element.IsValid()) {
    printMessage("Can't find element %llu", id);
    return;
  }
  // Without a display handler or a basis range there is no sound range to print.
  DisplayHandler* display = element.GetHandler(MISSING_HANDLER_PERMISSION_None).GetDisplayHandler();
  DRange3d range{};  // filled by the display handler before any use
  if (!display || !display->GetBasisRange(element, range)) {
    printMessage("Can't get range of element %llu", id);
    return;
  }
  printRange("range1= (%.2f, %.2f, %.2f,)~(%.2f, %.2f, %.2f,)", range);

  if (mdlElement_extractRange(&range, storedElementOf(element)) != SUCCESS) {
    printMessage("Can't get range of element %llu", id);
    return;
  }
  printRange("range2= (%.2f, %.2f, %.2f,)~(%.2f, %.2f, %.2f,)", range);
}
