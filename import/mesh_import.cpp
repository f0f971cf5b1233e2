#include "import/mesh_import.h"

#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "app/message/message.h"
#include "host/dgn_folder.h"
#include "host/dgn_model.h"
#include "host/element_handle.h"
#include "host/file_name.h"
#include "host/new_elements.h"
#include "host/polyface.h"
#include "host/symbology.h"
#include "host/wstring.h"
#include "records/base.h"

namespace {

// A member that the import reads must be missing, null or an array whose entries all read
// as numbers (null reads as 0, true as 1, false as 0).
bool isNumberList(const Json::Value& member) {
  if (member.isNull()) return true;
  if (!member.isArray()) return false;
  for (const Json::Value& entry : member)
    if (!entry.isNull() && !entry.isBool() && !entry.isNumeric()) return false;
  return true;
}

// How the import reads an index: truncated toward zero, as a 32-bit integer. False when the
// entry holds no such integer.
bool readIndex(const Json::Value& entry, int32_t* index) {
  if (entry.isNull() || entry.isBool()) {
    *index = entry.asInt();
    return true;
  }
  if (entry.isInt()) {  // a whole number that fits 32 bits, however written
    *index = entry.asInt();
    return true;
  }
  if (entry.isIntegral()) return false;  // 64-bit values beyond the 32-bit range
  double truncated = std::trunc(entry.asDouble());
  if (!(truncated >= std::numeric_limits<int32_t>::min() &&
        truncated <= std::numeric_limits<int32_t>::max())) {
    return false;
  }
  *index = static_cast<int32_t>(truncated);
  return true;
}

size_t pointCountOf(const Json::Value& positions) { return (positions.size() + 2) / 3; }

// Whether the record can become a mesh without the host or the JSON library being handed
// something they refuse. Whether "positions" and "indices" are there at all is judged
// later, after the colour, so that an incomplete record reports what it lacks; the checks
// that need both lists apply only when both hold entries.
bool isValidRecord(const Json::Value& record, double millimetreScale) {
  if (!record.isObject()) return false;
  const Json::Value& colors = record["colors"];
  const Json::Value& positions = record["positions"];
  const Json::Value& indices = record["indices"];
  if (!isNumberList(colors) || !isNumberList(positions) || !isNumberList(indices)) return false;
  for (const Json::Value& entry : colors)
    if (std::isnan(entry.asDouble())) return false;
  for (const Json::Value& entry : positions)
    if (!std::isfinite(entry.asDouble() * millimetreScale)) return false;
  int64_t pointCount = static_cast<int64_t>(pointCountOf(positions));
  for (const Json::Value& entry : indices) {
    int32_t index = 0;
    if (!readIndex(entry, &index)) return false;
    if (pointCount > 0 && (index < 0 || index >= pointCount)) return false;
  }
  return pointCount == 0 || indices.size() % 3 == 0;
}

// A colour entry (0 to 1) as a byte: clamped, then rounded, so that every byte that the
// export writes as b times 1/255 comes back as b.
Byte colorByte(const Json::Value& colors, Json::ArrayIndex index) {
  double value = index < colors.size() ? colors[index].asDouble() : 0.0;
  return static_cast<Byte>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

double millimetreScale() {
  return ISessionMgr::GetActiveDgnModelP()->GetModelInfo().GetUorPerMeter() * 0.001;
}

bvector<DPoint3d> readPoints(const Json::Value& positions, double scale) {
  bvector<DPoint3d> points;
  Json::ArrayIndex count = positions.size();
  auto coordinate = [&](Json::ArrayIndex i) {
    return i < count ? positions[i].asDouble() * scale : 0.0;
  };
  for (Json::ArrayIndex i = 0; i < count; i += 3)
    points.push_back(DPoint3d::From(coordinate(i), coordinate(i + 1), coordinate(i + 2)));
  return points;
}

// One-based indices; every entry was checked by isValidRecord.
bvector<int> readIndices(const Json::Value& indices) {
  bvector<int> oneBased;
  for (const Json::Value& entry : indices) {
    int32_t index = 0;
    readIndex(entry, &index);
    oneBased.push_back(index + 1);
  }
  return oneBased;
}

void addMeshElement(const bvector<DPoint3d>& points, const bvector<int>& indices,
                    const ElementPropertiesSetter& setter) {
  DgnModelRefP modelRef = ISessionMgr::GetActiveDgnModelRefP();
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateIndexedMesh(3, points, indices);
  EditElementHandle element;
  MeshHeaderHandler::CreateMeshElement(element, nullptr, *mesh, true, *modelRef);
  setter.Apply(element);
  element.AddToModel();
}

}  // namespace

void importGeometryRecord(WCharCP subFolderPath) {
  BeFileName fileName;
  fileName.SetName(subFolderPath);
  fileName.append(WString("geo.json", BentleyCharEncoding(0)));
  if (!fileName.DoesPathExist()) {
    printMessage("File %S doesn't exist", fileName.c_str());
    return;
  }
  Json::Value document;
  readJsonFile(document, fileName);
  const Json::Value& record = document;  // reading a missing member must not add it
  if (record.size() == 0) {
    printMessage("Json root node is empty");
    return;
  }
  double scale = millimetreScale();
  if (!isValidRecord(record, scale)) {
    printMessage("Invalid geometry in Json file %S", fileName.c_str());
    return;
  }

  const Json::Value& colors = record["colors"];
  IntColorDef color(colorByte(colors, 0), colorByte(colors, 1), colorByte(colors, 2));
  ElementPropertiesSetterPtr setter = ElementPropertiesSetter::Create();
  setter->SetColor(
      DgnColorMap::CreateElementColor(color, nullptr, nullptr, *ISessionMgr::GetActiveDgnFile()));

  const Json::Value& positions = record["positions"];
  if (positions.size() == 0) {
    printMessage("There is no 'positions' node in Json file");
    return;
  }
  bvector<DPoint3d> points = readPoints(positions, scale);
  const Json::Value& indices = record["indices"];
  if (indices.size() == 0) {
    printMessage("There is no 'indices' node in Json file");
    return;
  }
  addMeshElement(points, readIndices(indices), *setter);
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
  for (const DgnFolderMonikerPtr& subFolder : *subFolders)
    importGeometryRecord(subFolder->GetPortableName().c_str());
}
