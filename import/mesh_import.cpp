#include "import/mesh_import.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/message/message.h"
#include "app/ports/progress.h"
#include "app/ports/record_files.h"
#include "host/dgn_folder.h"
#include "host/dgn_model.h"
#include "host/element_handle.h"
#include "host/file_name.h"
#include "host/new_elements.h"
#include "host/polyface.h"
#include "host/symbology.h"
#include "host/wstring.h"
#include "import/geo_reader.h"

namespace {

bool isNumberList(const GeoList& list) { return list.kind != GeoList::Kind::Other; }

size_t pointCountOf(const GeoList& positions) { return (positions.size + 2) / 3; }

// Whether the record can become a mesh without the host being handed something it refuses.
// Whether "positions" and "indices" are there at all is judged later, after the colour, so
// that an incomplete record reports what it lacks; the checks that need both lists apply only
// when both hold entries.
bool isValidRecord(const GeoRecord& record, double millimetreScale) {
  if (record.root != GeoRecord::Root::Object) return false;
  const GeoList& colors = record.colors;
  const GeoList& positions = record.positions;
  const GeoList& indices = record.indices;
  if (!isNumberList(colors) || !isNumberList(positions) || !isNumberList(indices)) return false;
  for (double value : colors.values)
    if (std::isnan(value)) return false;
  for (double value : positions.values)
    if (!std::isfinite(value * millimetreScale)) return false;
  if (!indices.indexesFit) return false;
  int64_t pointCount = static_cast<int64_t>(pointCountOf(positions));
  for (int32_t index : indices.indexes)
    if (pointCount > 0 && (index < 0 || index >= pointCount)) return false;
  return pointCount == 0 || indices.size % 3 == 0;
}

// A colour entry (0 to 1) as a byte: clamped, then rounded, so that every byte that the
// export writes as b times 1/255 comes back as b.
Byte colorByte(const GeoList& colors, size_t index) {
  double value = index < colors.size ? colors.values[index] : 0.0;
  return static_cast<Byte>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

double millimetreScale() {
  return ISessionMgr::GetActiveDgnModelP()->GetModelInfo().GetUorPerMeter() * 0.001;
}

bvector<DPoint3d> readPoints(const GeoList& positions, double scale) {
  bvector<DPoint3d> points;
  const size_t count = positions.size;
  points.reserve(pointCountOf(positions));
  auto coordinate = [&](size_t i) { return i < count ? positions.values[i] * scale : 0.0; };
  for (size_t i = 0; i < count; i += 3)
    points.push_back(DPoint3d::From(coordinate(i), coordinate(i + 1), coordinate(i + 2)));
  return points;
}

// One-based indices; every entry was checked by isValidRecord.
bvector<int> readIndices(const GeoList& indices) {
  bvector<int> oneBased;
  oneBased.reserve(indices.size);
  for (int32_t index : indices.indexes) oneBased.push_back(index + 1);
  return oneBased;
}

// Whether the text's first value, past the blanks and comments that the reader skips, opens
// an object or an array: only such a text can fail after its start.
bool beginsAsContainer(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (text.substr(i, 2) == "//") {
      const size_t end = text.find_first_of("\r\n", i);
      i = end == std::string_view::npos ? text.size() : end;
    } else if (text.substr(i, 2) == "/*") {
      const size_t end = text.find("*/", i + 2);
      if (end == std::string_view::npos) return false;
      i = end + 2;
    } else {
      return c == '{' || c == '[';
    }
  }
  return false;
}

// Adds the record's mesh; true when an element was added. A mesh that the host refuses
// (geometry that a design can't hold) or can't add (no free element id) is reported and
// nothing is added.
bool addMeshElement(const bvector<DPoint3d>& points, const bvector<int>& indices,
                    const ElementPropertiesSetter& setter, const BeFileName& fileName) {
  DgnModelRefP modelRef = ISessionMgr::GetActiveDgnModelRefP();
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateIndexedMesh(3, points, indices);
  EditElementHandle element;
  if (MeshHeaderHandler::CreateMeshElement(element, nullptr, *mesh, true, *modelRef) != SUCCESS) {
    printMessage("Invalid geometry in Json file %S", fileName.c_str());
    return false;
  }
  setter.Apply(element);
  if (element.AddToModel() == SUCCESS) return true;
  printMessage("Can't add the mesh of Json file %S", fileName.c_str());
  return false;
}

}  // namespace

bool importGeometryRecord(WCharCP subFolderPath) {
  BeFileName fileName;
  fileName.SetName(subFolderPath);
  fileName.append(WString("geo.json", BentleyCharEncoding(0)));
  if (!fileName.DoesPathExist()) {
    printMessage("File %S doesn't exist", fileName.c_str());
    return false;
  }
  // A record that began as an object or an array and that the reader then refuses (a text
  // cut short, nesting deeper than it allows, a bad number in the middle) is reported whole:
  // nothing of it is imported. A text that fails at its first value holds no members.
  std::string text;
  GeoRecord record;  // a file that can't be read holds no members, as an empty record
  RecordFiles* files = ConnectedRecordFiles();
  if (files && files->Read(fileName.c_str(), &text) &&
      readGeoRecord(text, &record) != GeoParse::Parsed) {
    if (beginsAsContainer(text)) {
      printMessage("Invalid geometry in Json file %S", fileName.c_str());
      return false;
    }
    record = GeoRecord();
  }
  if (record.root == GeoRecord::Root::Empty) {
    printMessage("Json root node is empty");
    return false;
  }
  double scale = millimetreScale();
  if (!isValidRecord(record, scale)) {
    printMessage("Invalid geometry in Json file %S", fileName.c_str());
    return false;
  }

  const GeoList& colors = record.colors;
  IntColorDef color(colorByte(colors, 0), colorByte(colors, 1), colorByte(colors, 2));
  ElementPropertiesSetterPtr setter = ElementPropertiesSetter::Create();
  setter->SetColor(
      DgnColorMap::CreateElementColor(color, nullptr, nullptr, *ISessionMgr::GetActiveDgnFile()));

  const GeoList& positions = record.positions;
  if (positions.size == 0) {
    printMessage("There is no 'positions' node in Json file");
    return false;
  }
  bvector<DPoint3d> points = readPoints(positions, scale);
  const GeoList& indices = record.indices;
  if (indices.size == 0) {
    printMessage("There is no 'indices' node in Json file");
    return false;
  }
  return addMeshElement(points, readIndices(indices), *setter, fileName);
}

void importCommand(WCharCP folderName) {
  DgnFolderMonikerPtr moniker = DgnFolderMoniker::CreateFromFolderName(folderName, nullptr);
  StatusInt status = ERROR;
  DgnFolderPtr folder;
  if (moniker.IsValid()) folder = DgnFolder::CreateFromMoniker(status, *moniker);
  if (status != SUCCESS || folder.IsNull()) {
    printMessage("Can't find provided folder");
    return;
  }
  DgnFolderMonikerListPtr subFolders = folder->GetSubFolders(nullptr);
  if (subFolders.IsNull()) {
    printMessage("GetSubFolders ERROR!");
    return;
  }
  // An import makes elements and no folders.
  beginProgress("Import", static_cast<int64_t>(subFolders->size()));
  int64_t done = 0;
  int64_t added = 0;
  for (const DgnFolderMonikerPtr& subFolder : *subFolders) {
    if (importGeometryRecord(subFolder->GetPortableName().c_str())) ++added;
    stepProgress(++done);
  }
  endProgress(added, 0, 0);
}
