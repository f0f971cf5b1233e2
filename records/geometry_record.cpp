#include "records/geometry_record.h"

#include <cstddef>
#include <cstring>

#include "host/dgn_model.h"
#include "host/symbology.h"
#include "records/base.h"
#include "records/output_folders.h"
#include "records/record_text_writer.h"

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

// The colour of the element's last component as red, green, blue (0 to 1) and opacity.
void elementColors(ElementHandleCR element, double colors[4]) {
  const ElementSymbology symbology = lastComponentSymbology(element);
  const IntColorDef color = displayedColor(element, symbology.colorId);
  colors[0] = color.m_rgb.red * kColorScale;
  colors[1] = color.m_rgb.green * kColorScale;
  colors[2] = color.m_rgb.blue * kColorScale;
  colors[3] = 1.0 - symbology.transparency;
}

// The range the host keeps for the element (not one computed from the meshes).
void elementRange(ElementHandleCR element, double factor, double range[6]) {
  MSElementDescrCP descriptor = element.GetElementDescrCP();
  MSElementCP data = descriptor ? &descriptor->el : element.GetUnstableMSElementCP();
  DRange3d box{};  // zeros, should the host have no range to give
  mdlElement_extractRange(&box, data);
  const double values[6] = {box.low.x, box.low.y, box.low.z, box.high.x, box.high.y, box.high.z};
  for (int i = 0; i < 6; ++i) range[i] = values[i] * factor;
}

// Model coordinates times this give millimetres.
double millimetreFactor(ElementHandleCR element) {
  DgnModelP model = element.GetDgnModelP();
  const double uorPerMeter = model ? model->GetModelInfo().GetUorPerMeter() : 1000.0;
  return 1.0 / (uorPerMeter * 0.001);
}

struct MeshTotals {
  UInt64 facets = 0;
  UInt64 indices = 0;  // entries of "indices": face terminators are not written
  UInt64 points = 0;
};

MeshTotals meshTotals(const bvector<PolyfaceHeaderPtr>& meshes) {
  MeshTotals totals;
  for (const PolyfaceHeaderPtr& mesh : meshes) {
    if (!mesh) continue;
    totals.facets += mesh->GetNumFacet();
    const UInt64 count = mesh->GetPointIndexCount();
    totals.indices += count - count / 4;
    totals.points += mesh->GetPointCount();
  }
  return totals;
}

// Every real written is also added, times 0, to probe: the probe stays 0 while every real is
// finite, and becomes NaN (for good) at the first that isn't. One addition per real rather
// than a test and a branch.
void writeReals(RecordTextWriter& writer, RecordTextWriter::RealMemo& memo, const double* values,
                size_t count, double& probe) {
  writer.BeginArray();
  writer.Entries(count, RecordTextWriter::kRealRoom, [&](char* at, size_t i) {
    probe += values[i] * 0.0;
    return memo.Put(at, values[i]);
  });
  writer.EndArray();
}

// Zero-based positions in the joined point list: each set's indices are shifted by the
// points of the sets before it, signs are dropped and face terminators skipped (entry j of
// a set is its index j + j / 3).
void writeIndices(RecordTextWriter& writer, const bvector<PolyfaceHeaderPtr>& meshes) {
  writer.BeginArray();
  UInt64 pointOffset = 0;
  for (const PolyfaceHeaderPtr& mesh : meshes) {
    if (!mesh) continue;
    const int32_t* indices = mesh->GetPointIndexCP();
    const size_t count = mesh->GetPointIndexCount();
    writer.Entries(count - count / 4, RecordTextWriter::kUnsignedRoom, [&](char* at, size_t j) {
      const int32_t index = indices[j + j / 3];
      const UInt64 magnitude = static_cast<UInt64>(index < 0 ? -int64_t{index} : int64_t{index});
      return RecordTextWriter::PutUnsigned(at, pointOffset + magnitude - 1);
    });
    pointOffset += mesh->GetPointCount();
  }
  writer.EndArray();
}

static_assert(sizeof(DPoint3d) == 3 * sizeof(double) && offsetof(DPoint3d, y) == sizeof(double) &&
                  offsetof(DPoint3d, z) == 2 * sizeof(double),
              "a point's coordinates are read as three doubles in a row");

void writePositions(RecordTextWriter& writer, RecordTextWriter::RealMemo& memo,
                    const bvector<PolyfaceHeaderPtr>& meshes, double factor, double& probe) {
  writer.BeginArray();
  for (const PolyfaceHeaderPtr& mesh : meshes) {
    if (!mesh) continue;
    // The entries are x, y and z of one point, then of the next: the points' coordinates as
    // one run of doubles.
    const char* coordinates = reinterpret_cast<const char*>(mesh->GetPointCP());
    writer.Entries(3 * mesh->GetPointCount(), RecordTextWriter::kRealRoom, [&](char* at, size_t i) {
      double coordinate;
      std::memcpy(&coordinate, coordinates + i * sizeof(double), sizeof coordinate);
      const double millimetres = coordinate * factor;
      probe += millimetres * 0.0;
      return memo.Put(at, millimetres);
    });
  }
  writer.EndArray();
}

// One integer 0 per facet.
void writeMaterialIndices(RecordTextWriter& writer, UInt64 facets) {
  writer.BeginArray();
  writer.SameEntries(facets, "0");
  writer.EndArray();
}

}  // namespace

GeometryLook geometryLook(ElementHandleCR element) {
  GeometryLook look;
  elementColors(element, look.colors);
  look.millimetreFactor = millimetreFactor(element);
  elementRange(element, look.millimetreFactor, look.range);
  return look;
}

// The members in the order of their keys; members without entries are left out.
std::string_view geometryRecordText(std::string& buffer, RecordTextWriter::Text code,
                                    const GeometryLook& look,
                                    const bvector<PolyfaceHeaderPtr>& meshes) {
  const MeshTotals totals = meshTotals(meshes);
  RecordTextWriter writer(buffer);
  // The range box's corners are usually among the points, and colours repeat.
  RecordTextWriter::RealMemo memo;
  double probe = 0;  // see writeReals
  writer.BeginObject();
  writer.Key("avoclass");
  writer.String("componentGeoes");
  writer.Key("code");
  writer.String(code);
  writer.Key("colors");
  writeReals(writer, memo, look.colors, 4, probe);
  if (totals.indices != 0) {
    writer.Key("indices");
    writeIndices(writer, meshes);
  }
  if (totals.facets != 0) {
    writer.Key("materialIndices");
    writeMaterialIndices(writer, totals.facets);
  }
  writer.Key("normals");
  writer.BeginArray();
  writer.EndArray();
  writer.Key("numberOfColors");
  writer.Integer(1);
  writer.Key("numberOfPrimitives");
  writer.Unsigned(totals.facets);
  if (totals.points != 0) {
    writer.Key("positions");
    writePositions(writer, memo, meshes, look.millimetreFactor, probe);
  }
  writer.Key("range");
  writeReals(writer, memo, look.range, 6, probe);
  writer.EndObject();
  if (probe != 0) return std::string_view();
  return writer.Finish();
}

std::string_view geometryRecordText(std::string& buffer, const RecordFolder& folder,
                                    ElementHandleCR element,
                                    const bvector<PolyfaceHeaderPtr>& meshes) {
  return geometryRecordText(buffer, RecordTextWriter::Text::Quoted(folder.quotedCode),
                            geometryLook(element), meshes);
}
