#include "records/component_record.h"

#include <charconv>
#include <string>

#include "records/base.h"
#include "records/output_folders.h"
#include "records/record_text_writer.h"

namespace {

// The element's description as the host words it, as UTF-8, kept whole. The display
// handler is the element's handler itself, so asking the handler answers for both; an
// element that has no display handler is still described by its plain handler.
AString elementDescription(ElementHandleCR element) {
  WString description;
  element.GetHandler(MISSING_HANDLER_PERMISSION_None).GetDescription(element, description, 256);
  return utf8Text(description.c_str());
}

}  // namespace

std::string_view componentRecordText(std::string& buffer, RecordTextWriter::Text code, ElementId id,
                                     std::string_view name) {
  char idText[24];
  const char* idEnd = std::to_chars(idText, idText + sizeof idText, id).ptr;
  RecordTextWriter writer(buffer);
  writer.BeginObject();  // members in the order of their keys' bytes
  writer.Key("ElementID");
  writer.String(std::string_view(idText, static_cast<size_t>(idEnd - idText)));
  writer.Key("attrid");
  writer.String("componentAttribtes/", code);
  writer.Key("avoclass");
  writer.String("components");
  writer.Key("code");
  writer.String(code);
  writer.Key("gid");
  writer.String("componentGeoes/", code);
  writer.Key("matrix");  // the identity, row by row
  writer.BeginArray();
  writer.Entries(16, 1, [](char* at, size_t i) {
    *at = i % 5 == 0 ? '1' : '0';  // entries 0, 5, 10 and 15 lie on the diagonal
    return at + 1;
  });
  writer.EndArray();
  writer.Key("name");
  writer.String(name);
  writer.Key("revision");
  writer.String("1");
  writer.Key("type");
  writer.String("orvelElement");
  writer.EndObject();
  return writer.Finish();
}

std::string_view componentRecordText(std::string& buffer, const RecordFolder& folder,
                                     ElementHandleCR element) {
  return componentRecordText(buffer, RecordTextWriter::Text::Quoted(folder.quotedCode),
                             element.GetElementId(), elementDescription(element));
}
