#include "host/symbology.h"

#include "standin/design/design.h"
#include "standin/design/inside_access.h"

namespace {

// The component at *index among element's components in depth-first order, counting down
// *index as components are passed. A cell is not a component itself: its children are.
const host::Element* findComponent(const host::Element& element, UInt32& index) {
  if (element.type != host::ElementType::Cell) {
    if (index == 0) return &element;
    --index;
    return nullptr;
  }
  for (const auto& child : element.children)
    if (const host::Element* found = findComponent(*child, index)) return found;
  return nullptr;
}

const host::Rgb* tableOrTrueColor(const host::DesignFile& design, UInt32 colorId) {
  if (colorId < design.colorTable.size()) return &design.colorTable[colorId];
  auto found = design.trueColors.find(colorId);
  return found == design.trueColors.end() ? nullptr : &found->second;
}

// A true colour id that no colour has yet: one more than the highest, from 256. The id
// 0xFFFFFFFF means "by level", so when the highest is just below it the lowest free id
// from 256 is taken instead.
UInt32 nextTrueColorId(const host::DesignFile& design) {
  if (design.trueColors.empty()) return 256;
  UInt32 highest = design.trueColors.rbegin()->first;
  if (highest + 1 != host::kByLevelColor) return highest + 1;
  UInt32 id = 256;
  while (design.trueColors.count(id)) ++id;
  return id;
}

}  // namespace

SymbologyReporter::SymbologyReporter(ElementHandleCR element) : m_element(element) {}

const host::Element* SymbologyReporter::ComponentAt(UInt32 index) const {
  const host::Element* element = host::Inside::ElementOf(m_element);
  if (!element) return nullptr;
  return findComponent(*element, index);
}

StatusInt SymbologyReporter::GetColorID(UInt32& colorId, UInt32 index) const {
  const host::Element* component = ComponentAt(index);
  if (!component) return ERROR;
  colorId = component->color;
  return SUCCESS;
}

StatusInt SymbologyReporter::GetLevelId(LevelId& levelId, UInt32 index) const {
  const host::Element* component = ComponentAt(index);
  if (!component) return ERROR;
  levelId = component->level;
  return SUCCESS;
}

StatusInt SymbologyReporter::GetTransparency(double& transparency, UInt32 index) const {
  const host::Element* component = ComponentAt(index);
  if (!component) return ERROR;
  transparency = component->transparency;
  return SUCCESS;
}

LevelDefinitionColor LevelHandle::GetByLevelColor() const {
  return LevelDefinitionColor(m_level ? m_level->byLevelColor : 0);
}

LevelHandle LevelCache::GetLevel(LevelId id, bool /*includeDeleted*/) const {
  return LevelHandle(m_design.FindLevel(id));
}

DgnColorMap* DgnColorMap::GetForDisplay(DgnModelRefP modelRef) {
  DgnFileP file = modelRef ? modelRef->GetDgnFileP() : nullptr;
  return file ? &file->GetColorMapR() : nullptr;
}

IntColorDef DgnColorMap::GetColor(UInt32 colorId) const {
  if (colorId >= m_design.colorTable.size()) return IntColorDef();
  const host::Rgb& rgb = m_design.colorTable[colorId];
  return IntColorDef(rgb.red, rgb.green, rgb.blue);
}

BentleyStatus DgnColorMap::ExtractElementColorInfo(IntColorDef* colorDef, UInt32* colorIndex,
                                                   bool* isTrueColor, WString* bookName,
                                                   WString* entryName, UInt32 elementColor,
                                                   DgnFile& file) {
  const host::DesignFile& design = host::Inside::DesignOf(file);
  const host::Rgb* rgb = tableOrTrueColor(design, elementColor);
  if (colorDef) *colorDef = rgb ? IntColorDef(rgb->red, rgb->green, rgb->blue) : IntColorDef();
  if (colorIndex) *colorIndex = elementColor;
  if (isTrueColor) *isTrueColor = rgb && elementColor >= design.colorTable.size();
  // The stand-in's files have no colour books.
  if (bookName) bookName->clear();
  if (entryName) entryName->clear();
  return rgb ? SUCCESS : ERROR;
}

UInt32 DgnColorMap::CreateElementColor(const IntColorDef& colorDef, WCharCP /*bookName*/,
                                       WCharCP /*colorName*/, DgnFile& file) {
  host::DesignFile& design = host::Inside::DesignOf(file);
  const host::Rgb wanted{colorDef.m_rgb.red, colorDef.m_rgb.green, colorDef.m_rgb.blue};
  for (UInt32 id = 0; id < design.colorTable.size(); ++id)
    if (design.colorTable[id] == wanted) return id;
  for (const auto& [id, rgb] : design.trueColors)
    if (rgb == wanted) return id;
  UInt32 id = nextTrueColorId(design);
  design.trueColors[id] = wanted;
  return id;
}
