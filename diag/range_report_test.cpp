#include "diag/range_report.h"

#include <gtest/gtest.h>

#include "testing/seed.h"

namespace {

using host::ElementType;
using host::seed::DesignBuilder;
using host::seed::ScopedSession;

// A design whose active model holds a mesh with the given id over the given points.
std::unique_ptr<host::DesignFile> designWithMesh(ElementId id, std::vector<DPoint3d> points,
                                                 host::Element** made = nullptr) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default", 10000);
  builder.AddMesh(model, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{1, 2, 3}});  // a neighbour
  host::Element& mesh = builder.AddMesh(model, std::move(points), {{1, 2, 3}});
  mesh.id = id;
  if (made) *made = &mesh;
  return builder.Release();
}

std::vector<std::string> report(std::unique_ptr<host::DesignFile> design,
                                const wchar_t* text = L"") {
  ScopedSession session(std::move(design));
  rangeReportCommand(text);
  return session.Messages();
}

TEST(RangeReport, PrintsTheBasisRangeThenTheStoredRange) {
  auto lines = report(designWithMesh(10768, {{0, 0, 0}, {1000, 0, 0}, {1000, 2000, 0}}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "range1= (0.00, 0.00, 0.00,)~(1000.00, 2000.00, 0.00,)");
  // Without a range of its own the stored range is the geometry's: only the word differs.
  EXPECT_EQ(lines[1], "range2= (0.00, 0.00, 0.00,)~(1000.00, 2000.00, 0.00,)");
}

TEST(RangeReport, RoundsToTwoDecimalsAndIgnoresTheCommandText) {
  std::vector<DPoint3d> points = {{-1.005, 2.346, -7}, {1234.567, 0, 3.999}, {0, -0.001, 0}};
  auto plain = report(designWithMesh(10768, points));
  auto withText = report(designWithMesh(10768, points), L"  some text 1 2 3");
  ASSERT_EQ(plain.size(), 2u);
  EXPECT_EQ(plain[0], "range1= (-1.00, -0.00, -7.00,)~(1234.57, 2.35, 4.00,)");
  EXPECT_EQ(withText, plain);
}

TEST(RangeReport, ShowsAStaleStoredRangeAsItIsStored) {
  host::Element* mesh = nullptr;
  auto design = designWithMesh(10768, {{0, 0, 0}, {10, 0, 0}, {10, 20, 0}}, &mesh);
  mesh->storedRange = DRange3d{{-1, -2, -3}, {4, 5, 6}};
  auto lines = report(std::move(design));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "range1= (0.00, 0.00, 0.00,)~(10.00, 20.00, 0.00,)");
  EXPECT_EQ(lines[1], "range2= (-1.00, -2.00, -3.00,)~(4.00, 5.00, 6.00,)");
}

TEST(RangeReport, SaysSoWhenTheElementIsMissing) {
  EXPECT_EQ(report(designWithMesh(10767, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}})),
            std::vector<std::string>{"Can't find element 10768"});
}

TEST(RangeReport, SaysSoWhenTheElementHasNoGeometryToMeasure) {
  DesignBuilder builder;
  host::Model& model = builder.AddModel("Default");
  builder.AddElement(model, ElementType::Cell).id = 10768;  // a cell with no children
  EXPECT_EQ(report(builder.Release()),
            std::vector<std::string>{"Can't get range of element 10768"});
}

TEST(RangeReport, LooksOnlyInTheActiveModel) {
  DesignBuilder builder;
  host::Model& active = builder.AddModel("Active");
  host::Model& other = builder.AddModel("Other");
  builder.AddMesh(other, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {{1, 2, 3}}).id = 10768;
  builder.File().activeModel = active.name;
  EXPECT_EQ(report(builder.Release()), std::vector<std::string>{"Can't find element 10768"});
}

}  // namespace
