// The component record (component.json): the identity of one exported element.
#pragma once

#include <string>
#include <string_view>

#include "host/element_handle.h"
#include "host/wstring.h"
#include "records/record_text_writer.h"

// Writes elementFolder\component.json for element: its element code, the references to its
// geometry and attribute records, its id, an identity matrix, the host's description, a
// revision and a type tag.
void writeComponentRecord(const WString& elementFolder, ElementHandleCR element);
// The same into a folder prepared for the element's records.
struct RecordFolder;
void writeComponentRecord(const RecordFolder& folder, ElementHandleCR element);

// The record's text for an element with the element code code, the id id and the
// description name (UTF-8), written in the storage of buffer (see RecordTextWriter).
std::string_view componentRecordText(std::string& buffer, RecordTextWriter::Text code, ElementId id,
                                     std::string_view name);
// The record that writeComponentRecord writes into folder, made in buffer alike.
std::string_view componentRecordText(std::string& buffer, const RecordFolder& folder,
                                     ElementHandleCR element);
