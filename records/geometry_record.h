// The geometry record (geo.json): all facet sets of one element joined into one indexed
// triangle mesh in millimetres, with the element's colour and range box.
#pragma once

#include <string>
#include <string_view>

#include "host/element_handle.h"
#include "host/polyface.h"
#include "host/wstring.h"
#include "records/record_text_writer.h"

// What the record takes from the element itself rather than from its facet sets.
struct GeometryLook {
  double colors[4] = {};        // red, green, blue (0 to 1) and opacity of the last component
  double range[6] = {};         // the stored range box in millimetres: low x, y, z, high x, y, z
  double millimetreFactor = 1;  // model coordinates times this give millimetres
};
GeometryLook geometryLook(ElementHandleCR element);

// The record's text with the element code code, straight from the facet sets (points in model
// coordinates, one-based signed indices, three per face and a terminator), written in
// the storage of buffer (see RecordTextWriter). The text lives as long as buffer is untouched.
// A null text (data() null) when a number of the record isn't finite (a point or the range
// in millimetres beyond the range of a double): no reader could read such a record.
std::string_view geometryRecordText(std::string& buffer, RecordTextWriter::Text code,
                                    const GeometryLook& look,
                                    const bvector<PolyfaceHeaderPtr>& meshes);
// The record of element, whose records go into folder, made in buffer alike. The meshes stay
// with the caller.
struct RecordFolder;
std::string_view geometryRecordText(std::string& buffer, const RecordFolder& folder,
                                    ElementHandleCR element,
                                    const bvector<PolyfaceHeaderPtr>& meshes);
