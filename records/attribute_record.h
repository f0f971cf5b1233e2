// The attribute record (attr.json): the property values that the host keeps for one element.
#pragma once

#include <string>
#include <string_view>

#include "host/element_handle.h"
#include "host/wstring.h"

// The attribute record of element, whose records go into folder, in the storage of buffer
// (see RecordTextWriter): for each class display label among the element's property
// instances, the texts of the properties that hold a value, by their display labels.
// "attribute" is null when the element has no instance. The text lives as long as buffer is
// untouched.
struct RecordFolder;
std::string_view attributeRecordText(std::string& buffer, const RecordFolder& folder,
                                     ElementHandleCR element);
