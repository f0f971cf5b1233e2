#include "records/component_record.h"

#include <json/json.h>

#include <string>

#include "records/base.h"

namespace {

// The element's description as the host words it, as locale text, kept whole. The display
// handler is the element's handler itself, so asking the handler answers for both; an
// element that has no display handler is still described by its plain handler.
AString elementDescription(ElementHandleCR element) {
  WString description;
  element.GetHandler(MISSING_HANDLER_PERMISSION_None).GetDescription(element, description, 256);
  return localeText(description.c_str());
}

void appendIdentityMatrix(Json::Value& document) {
  Json::Value& matrix = document["matrix"];
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) matrix.append(Json::Value(row == column ? 1 : 0));
}

}  // namespace

void writeComponentRecord(const WString& elementFolder, ElementHandleCR element) {
  Json::Value document;
  const AString code = startRecord(document, "components", elementFolder);
  // The references are the prefixes' bytes followed by exactly the code's locale bytes, so
  // they are joined as narrow text rather than widened and converted back.
  document["gid"] = Json::Value("componentGeoes/" + code);
  document["attrid"] = Json::Value("componentAttribtes/" + code);
  document["ElementID"] = Json::Value(std::to_string(element.GetElementId()));
  appendIdentityMatrix(document);
  document["name"] = Json::Value(elementDescription(element));
  document["revision"] = "1";
  document["type"] = "orvelElement";

  writeRecordFile(elementFolder, L"component.json", document);
}
