#include "standin/geometry/geometry_range.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace host {
namespace {

TEST(GeometryRange, IsExactForEveryKindOfGeometry) {
  auto element = [](ElementType type) {
    auto e = std::make_unique<Element>();
    e->type = type;
    return e;
  };
  auto cone = element(ElementType::Cone);
  cone->base = {0, 0, 0};
  cone->top = {10, 0, 0};
  cone->baseRadius = 2;
  cone->topRadius = 1;
  EXPECT_EQ(GeometryRange(*cone), (DRange3d{{0, -2, -2}, {10, 2, 2}}));

  auto sphere = element(ElementType::Sphere);
  sphere->center = {1, 2, 3};
  sphere->radius = 2;
  EXPECT_EQ(GeometryRange(*sphere), (DRange3d{{-1, 0, 1}, {3, 4, 5}}));

  auto text = element(ElementType::Text);
  text->origin = {5, 6, 7};
  EXPECT_EQ(GeometryRange(*text), (DRange3d{{5, 6, 7}, {5, 6, 7}}));

  auto extrusion = element(ElementType::Extrusion);
  extrusion->profile = {{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}};  // an L
  extrusion->vector = {0, 0, -2};
  EXPECT_EQ(GeometryRange(*extrusion), (DRange3d{{0, 0, -2}, {4, 3, 0}}));

  EXPECT_TRUE(GeometryRange(*element(ElementType::Cell)).IsNull());
}

TEST(GeometryRange, CellsComposeNestedTransforms) {
  // Outer: translate by (100, 0, 0). Inner: a quarter turn about z, scaled by 2.
  const double outer[12] = {1, 0, 0, 100, 0, 1, 0, 0, 0, 0, 1, 0};
  const double inner[12] = {0, -2, 0, 0, 2, 0, 0, 0, 0, 0, 2, 0};
  Element cell;
  cell.type = ElementType::Cell;
  cell.transform = Transform::FromRowValues(outer);
  auto nested = std::make_unique<Element>();
  nested->type = ElementType::Cell;
  nested->transform = Transform::FromRowValues(inner);
  auto cone = std::make_unique<Element>();
  cone->type = ElementType::Cone;
  cone->base = {0, 0, 0};
  cone->top = {5, 0, 0};  // becomes the axis (100,0,0) -> (100,10,0)
  cone->baseRadius = 1;
  cone->topRadius = 1;
  nested->children.push_back(std::move(cone));
  cell.children.push_back(std::move(nested));
  auto line = std::make_unique<Element>();
  line->type = ElementType::Line;
  line->points = {{0, -50, 0}, {1, 0, 0}};
  cell.children.push_back(std::move(line));
  DRange3d range = GeometryRange(cell);
  EXPECT_EQ(range, (DRange3d{{98, -50, -2}, {102, 10, 2}}));
}

}  // namespace
}  // namespace host
