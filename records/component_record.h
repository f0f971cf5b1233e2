// The component record (component.json): the identity of one exported element.
#pragma once

#include <string>
#include <string_view>

#include "host/element_handle.h"
#include "host/wstring.h"
#include "records/record_text_writer.h"

// The record's text: the element code, the references to the element's geometry and
// attribute records, its id, an identity matrix, the host's description, a revision and a type
// tag. This one is for an element with the element code code, the id id and the
// description name (UTF-8), written in the storage of buffer (see RecordTextWriter).
std::string_view componentRecordText(std::string& buffer, RecordTextWriter::Text code, ElementId id,
                                     std::string_view name);
// The record of element, whose records go into folder, made in buffer alike.
struct RecordFolder;
std::string_view componentRecordText(std::string& buffer, const RecordFolder& folder,
                                     ElementHandleCR element);
