// The attribute record (attr.json): the property values that the host keeps for one element.
#pragma once

#include <string>
#include <string_view>

#include "host/element_handle.h"
#include "host/wstring.h"

// Writes elementFolder\attr.json for element: for each class display label among the
// element's property instances, the texts of the properties that hold a value, by their
// display labels. "attribute" is null when the element has no instance.
void writeAttributeRecord(const WString& elementFolder, ElementHandleCR element);
// The same into a folder prepared for the element's records.
struct RecordFolder;
void writeAttributeRecord(const RecordFolder& folder, ElementHandleCR element);
// The record that writeAttributeRecord writes into folder, in the storage of buffer (see
// RecordTextWriter). The text lives as long as buffer is untouched.
std::string_view attributeRecordText(std::string& buffer, const RecordFolder& folder,
                                     ElementHandleCR element);
