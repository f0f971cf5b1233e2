#include "records/geometry_record.h"

#include <json/json.h>

#include <cstdlib>

#include "host/dgn_model.h"
#include "host/symbology.h"
#include "records/base.h"

namespace {

// A colour byte times this gives the colour as a real from 0 to 1. It is multiplied rather
// than divided by 255 so that every byte gives the same real as readers have always seen.
constexpr double kColorScale = 0.00392156862745098;
constexpr UInt32 kByLevelColorId = 0xFFFFFFFFu;

struct ElementSymbology {
  UInt32 colorId = 0;
  double transparency = 0;
};

// The colour id of a by-level component: the by-level colour of its level in the model's
// level table (0 for a level the file doesn't define).
UInt32 byLevelColor(ElementHandleCR element, const SymbologyReporter& reporter, UInt32 index) {
  LevelId levelId = 0;
  reporter.GetLevelId(levelId, index);
  DgnModelP model = element.GetDgnModelP();
  if (!model) return 0;
  return model->GetLevelCacheR().GetLevel(levelId, false).GetByLevelColor().GetColor();
}

// The symbology of the element's last component. An element that reports no component at
// all gets colour id 0 and no transparency rather than values nobody set.
ElementSymbology lastComponentSymbology(ElementHandleCR element) {
  SymbologyReporter reporter(element);
  ElementSymbology symbology;
  UInt32 count = 0;
  for (UInt32 colorId = 0; reporter.GetColorID(colorId, count) == SUCCESS; ++count)
    symbology.colorId = colorId;
  if (count == 0) return symbology;
  const UInt32 last = count - 1;
  reporter.GetTransparency(symbology.transparency, last);
  if (symbology.colorId == kByLevelColorId)
    symbology.colorId = byLevelColor(element, reporter, last);
  return symbology;
}

// The displayed colour of colorId in the element's file, table colour or true colour alike.
IntColorDef displayedColor(ElementHandleCR element, UInt32 colorId) {
  DgnModelP model = element.GetDgnModelP();
  DgnColorMap* colorMap = DgnColorMap::GetForDisplay(model);
  if (!colorMap) return IntColorDef();
  IntColorDef color = colorMap->GetColor(colorId);
  UInt32 colorIndex = 0;
  bool isTrueColor = false;
  WString bookName, entryName;
  DgnColorMap::ExtractElementColorInfo(&color, &colorIndex, &isTrueColor, &bookName, &entryName,
                                       colorId, *model->GetDgnFileP());
  return color;
}

void appendColors(Json::Value& document, ElementHandleCR element) {
  const ElementSymbology symbology = lastComponentSymbology(element);
  const IntColorDef color = displayedColor(element, symbology.colorId);
  Json::Value& colors = document["colors"];
  colors.append(Json::Value(color.m_rgb.red * kColorScale));
  colors.append(Json::Value(color.m_rgb.green * kColorScale));
  colors.append(Json::Value(color.m_rgb.blue * kColorScale));
  colors.append(Json::Value(1.0 - symbology.transparency));
}

// Zero-based positions in the joined point list: each set's indices are shifted by the
// points of the sets before it, signs are dropped and face terminators skipped.
void appendIndices(Json::Value& document, const bvector<PolyfaceHeaderPtr>& meshes) {
  UInt64 pointOffset = 0;
  for (const PolyfaceHeaderPtr& mesh : meshes) {
    if (!mesh) continue;
    const int32_t* indices = mesh->GetPointIndexCP();
    const size_t count = mesh->GetPointIndexCount();
    for (size_t i = 0; i < count; ++i) {
      if ((i + 1) % 4 == 0) continue;
      const UInt64 magnitude = static_cast<UInt64>(std::llabs(static_cast<long long>(indices[i])));
      document["indices"].append(Json::Value(Json::UInt64(pointOffset + magnitude - 1)));
    }
    pointOffset += mesh->GetPointCount();
  }
}

void appendPositions(Json::Value& document, const bvector<PolyfaceHeaderPtr>& meshes,
                     double factor) {
  for (const PolyfaceHeaderPtr& mesh : meshes) {
    if (!mesh) continue;
    const DPoint3d* points = mesh->GetPointCP();
    for (size_t i = 0; i < mesh->GetPointCount(); ++i) {
      Json::Value& positions = document["positions"];
      positions.append(Json::Value(points[i].x * factor));
      positions.append(Json::Value(points[i].y * factor));
      positions.append(Json::Value(points[i].z * factor));
    }
  }
}

// The range the host keeps for the element (not one computed from the meshes).
void appendRange(Json::Value& document, ElementHandleCR element, double factor) {
  MSElementDescrCP descriptor = element.GetElementDescrCP();
  MSElementCP data = descriptor ? &descriptor->el : element.GetUnstableMSElementCP();
  DRange3d range{};  // zeros, should the host have no range to give
  mdlElement_extractRange(&range, data);
  const double values[6] = {range.low.x,  range.low.y,  range.low.z,
                            range.high.x, range.high.y, range.high.z};
  Json::Value& out = document["range"];
  for (double value : values) out.append(Json::Value(value * factor));
}

UInt64 facetCount(const bvector<PolyfaceHeaderPtr>& meshes) {
  UInt64 total = 0;
  for (const PolyfaceHeaderPtr& mesh : meshes)
    if (mesh) total += mesh->GetNumFacet();
  return total;
}

// Model coordinates times this give millimetres.
double millimetreFactor(ElementHandleCR element) {
  DgnModelP model = element.GetDgnModelP();
  const double uorPerMeter = model ? model->GetModelInfo().GetUorPerMeter() : 1000.0;
  return 1.0 / (uorPerMeter * 0.001);
}

}  // namespace

void writeGeometryRecord(const WString& elementFolder, ElementHandleCR element,
                         const bvector<PolyfaceHeaderPtr>& meshes) {
  Json::Value document;
  const UInt64 facets = facetCount(meshes);
  document["numberOfPrimitives"] = Json::Value(Json::UInt64(facets));
  startRecord(document, "componentGeoes", elementFolder);
  document["numberOfColors"] = Json::Value(1);
  appendColors(document, element);
  for (UInt64 i = 0; i < facets; ++i) document["materialIndices"].append(Json::Value(0));
  document["normals"] = Json::Value(Json::arrayValue);
  appendIndices(document, meshes);
  const double factor = millimetreFactor(element);
  appendPositions(document, meshes, factor);
  appendRange(document, element, factor);

  writeRecordFile(elementFolder, L"geo.json", document);
}
