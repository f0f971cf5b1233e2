#include "host/symbology.h"

#include <gtest/gtest.h>

#include <tuple>

#include "testing/seed.h"

namespace {

using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

struct Component {
  UInt32 color;
  LevelId level;
  double transparency;
  bool operator==(const Component&) const = default;
};

host::Element& addComponent(DesignBuilder& builder, host::Element& cell, Component component) {
  host::Element& child = builder.AddChild(cell, ElementType::Line);
  child.color = component.color;
  child.level = component.level;
  child.transparency = component.transparency;
  return child;
}

// Every index that the reporter answers for, in order; the index past the last fails for
// all three queries and leaves the out values alone.
std::vector<Component> reportedComponents(ElementHandleCR element) {
  SymbologyReporter reporter(element);
  std::vector<Component> components;
  for (UInt32 index = 0;; ++index) {
    Component component{7, 7, 7};
    StatusInt colorStatus = reporter.GetColorID(component.color, index);
    StatusInt levelStatus = reporter.GetLevelId(component.level, index);
    StatusInt transparencyStatus = reporter.GetTransparency(component.transparency, index);
    EXPECT_EQ(colorStatus, levelStatus);
    EXPECT_EQ(colorStatus, transparencyStatus);
    if (colorStatus != SUCCESS) {
      EXPECT_EQ(component, (Component{7, 7, 7}));
      return components;
    }
    components.push_back(component);
  }
}

TEST(SymbologyReporterTest, IndexesSimpleElementsAndCellComponentsDepthFirst) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  host::Element& line = builder.AddElement(model, ElementType::Line);
  line.color = 3;
  line.level = 70;
  line.transparency = 0.25;

  // A cell [A, [B, [C]], [], D]: nested cells count their children, not themselves.
  host::Element& cell = builder.AddElement(model, ElementType::Cell);
  addComponent(builder, cell, {1, 64, 0});
  host::Element& nested = builder.AddChild(cell, ElementType::Cell);
  addComponent(builder, nested, {2, 65, 0.5});
  addComponent(builder, builder.AddChild(nested, ElementType::Cell), {host::kByLevelColor, 66, 0});
  builder.AddChild(cell, ElementType::Cell);
  addComponent(builder, cell, {300, 67, 1});

  host::Element& emptyCell = builder.AddElement(model, ElementType::Cell);
  ScopedSession session(builder.Release());
  DgnModelRefP modelRef = ISessionMgr::GetActiveDgnModelRefP();

  EXPECT_EQ(reportedComponents(ElementHandle(&line, modelRef)),
            (std::vector<Component>{{3, 70, 0.25}}));
  EXPECT_EQ(reportedComponents(ElementHandle(&cell, modelRef)),
            (std::vector<Component>{
                {1, 64, 0}, {2, 65, 0.5}, {host::kByLevelColor, 66, 0}, {300, 67, 1}}));
  EXPECT_TRUE(reportedComponents(ElementHandle(&emptyCell, modelRef)).empty());
  EXPECT_TRUE(reportedComponents(ElementHandle()).empty());
}

class ColorMapTest : public ::testing::Test {
 protected:
  ColorMapTest() {
    DesignBuilder builder;
    builder.AddModel("Default");
    builder.AddLevel(70, "Walls", 5);
    host::DesignFile& design = builder.File();
    design.colorTable[10] = {33, 66, 99};
    design.colorTable[20] = {33, 66, 99};
    design.trueColors[300] = {18, 52, 86};
    design.trueColors[310] = {18, 52, 86};
    m_design = &design;
    m_session = std::make_unique<ScopedSession>(builder.Release());
  }

  DgnFile& File() { return *ISessionMgr::GetActiveDgnFile(); }
  DgnColorMap& Map() { return *DgnColorMap::GetForDisplay(ISessionMgr::GetActiveDgnModelRefP()); }

  host::DesignFile* m_design = nullptr;
  std::unique_ptr<ScopedSession> m_session;
};

std::tuple<int, int, int> rgb(const IntColorDef& color) {
  return {color.m_rgb.red, color.m_rgb.green, color.m_rgb.blue};
}

std::tuple<int, int, int> rgb(const host::Rgb& color) {
  return {color.red, color.green, color.blue};
}

TEST_F(ColorMapTest, LevelsGiveTheirByLevelColorAndUnknownLevelsZero) {
  LevelCache& levels = ISessionMgr::GetActiveDgnModelRefP()->GetLevelCacheR();
  EXPECT_TRUE(levels.GetLevel(70).IsValid());
  EXPECT_EQ(levels.GetLevel(70).GetByLevelColor().GetColor(), 5u);
  EXPECT_EQ(levels.GetLevel(64).GetByLevelColor().GetColor(), 0u);
  EXPECT_FALSE(levels.GetLevel(99).IsValid());
  EXPECT_EQ(levels.GetLevel(99).GetByLevelColor().GetColor(), 0u);
}

TEST_F(ColorMapTest, GetForDisplayGivesTheColorMapOfTheModelsFile) {
  EXPECT_EQ(DgnColorMap::GetForDisplay(ISessionMgr::GetActiveDgnModelRefP()),
            &File().GetColorMapR());
  EXPECT_EQ(DgnColorMap::GetForDisplay(nullptr), nullptr);
}

TEST_F(ColorMapTest, GetColorGivesTableColorsAndBlackForOtherIds) {
  const struct {
    UInt32 id;
    std::tuple<int, int, int> expected;
  } cases[] = {
      {0, {255, 255, 255}},
      {3, {255, 0, 0}},
      {10, {33, 66, 99}},
      {255, rgb(host::DefaultColorTable()[255])},
      {256, {0, 0, 0}},
      {300, {0, 0, 0}},
      {host::kByLevelColor, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    IntColorDef color = Map().GetColor(c.id);
    EXPECT_EQ(rgb(color), c.expected);
    EXPECT_EQ(color.m_rgb.flags, 0);
  }
}

TEST_F(ColorMapTest, ExtractElementColorInfoGivesDisplayedColors) {
  const struct {
    UInt32 id;
    std::tuple<int, int, int> expected;
    BentleyStatus status;
    bool isTrueColor;
  } cases[] = {
      {3, {255, 0, 0}, SUCCESS, false},
      {10, {33, 66, 99}, SUCCESS, false},
      {300, {18, 52, 86}, SUCCESS, true},
      {400, {0, 0, 0}, ERROR, false},
      {host::kByLevelColor, {0, 0, 0}, ERROR, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    IntColorDef color(1, 2, 3);
    UInt32 index = 0;
    bool isTrueColor = !c.isTrueColor;
    WString book = L"x", entry = L"y";
    BentleyStatus status = DgnColorMap::ExtractElementColorInfo(&color, &index, &isTrueColor, &book,
                                                                &entry, c.id, File());
    EXPECT_EQ(status == SUCCESS, c.status == SUCCESS);
    EXPECT_EQ(rgb(color), c.expected);
    EXPECT_EQ(isTrueColor, c.isTrueColor);
    EXPECT_EQ(index, c.id);
  }
  // Every output but the colour may be left out.
  IntColorDef color;
  EXPECT_EQ(
      DgnColorMap::ExtractElementColorInfo(&color, nullptr, nullptr, nullptr, nullptr, 300, File()),
      SUCCESS);
  EXPECT_EQ(rgb(color), std::make_tuple(18, 52, 86));
}

TEST_F(ColorMapTest, CreateElementColorReusesTableThenTrueColorsThenAddsOne) {
  const struct {
    IntColorDef color;
    UInt32 expected;
  } cases[] = {
      {IntColorDef(255, 0, 0), 3},     // default table
      {IntColorDef(33, 66, 99), 10},   // the lowest of two equal table entries
      {IntColorDef(18, 52, 86), 300},  // the lowest of two equal true colours
      {IntColorDef(1, 2, 3), 311},     // new: one more than the highest
      {IntColorDef(1, 2, 3), 311},     // now known
      {IntColorDef(4, 5, 6), 312},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(DgnColorMap::CreateElementColor(c.color, nullptr, nullptr, File()), c.expected);
  }
  EXPECT_EQ(m_design->trueColors.size(), 4u);
  EXPECT_EQ(m_design->trueColors.at(312), (host::Rgb{4, 5, 6}));
}

TEST_F(ColorMapTest, CreateElementColorStartsAt256AndNeverGivesTheByLevelId) {
  m_design->trueColors.clear();
  EXPECT_EQ(DgnColorMap::CreateElementColor(IntColorDef(1, 2, 3), nullptr, nullptr, File()), 256u);
  m_design->trueColors[0xFFFFFFFEu] = {9, 9, 9};
  EXPECT_EQ(DgnColorMap::CreateElementColor(IntColorDef(4, 5, 6), nullptr, nullptr, File()), 257u);
  EXPECT_EQ(m_design->trueColors.count(host::kByLevelColor), 0u);
}

}  // namespace
