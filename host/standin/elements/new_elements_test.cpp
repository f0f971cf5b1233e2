#include "host/new_elements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "standin/design/design.h"
#include "standin/design/inside_access.h"
#include "testing/seed.h"

namespace {

using Faces = std::vector<std::vector<int>>;

const std::vector<DPoint3d> kFourPoints = {{0, 0, 0}, {10, 0, 1}, {10, 10, 2}, {0, 10, 3}};

// A mesh built directly, so that bad index data reaches the handler as given.
PolyfaceHeaderPtr makeMesh(int numPerFace, std::vector<DPoint3d> points,
                           std::vector<int32_t> indices) {
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
  mesh->SetNumPerFace(numPerFace);
  mesh->Point() = std::move(points);
  mesh->PointIndex() = std::move(indices);
  return mesh;
}

class NewElementsTest : public ::testing::Test {
 protected:
  NewElementsTest() : session_(host::seed::EmptyDesign()) {}

  DgnModelRef& ActiveModelRef() { return *ISessionMgr::GetActiveDgnModelRefP(); }

  host::seed::ScopedSession session_;
};

TEST_F(NewElementsTest, MeshElementTakesPointsAndFaces) {
  struct Case {
    const char* name;
    int numPerFace;
    std::vector<int32_t> indices;
    Faces faces;
  };
  const Case cases[] = {
      {"fixed triangles", 3, {1, 2, 3, 1, 3, 4}, {{1, 2, 3}, {1, 3, 4}}},
      {"fixed quad", 4, {1, 2, 3, 4}, {{1, 2, 3, 4}}},
      {"hidden edges keep their sign", 3, {1, -2, 3, -1, 3, -4}, {{1, -2, 3}, {-1, 3, -4}}},
      {"variable size", 0, {1, 2, 3, 0, 1, 3, 4, 2, 0}, {{1, 2, 3}, {1, 3, 4, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditElementHandle element;
    PolyfaceHeaderPtr mesh = makeMesh(c.numPerFace, kFourPoints, c.indices);
    ASSERT_EQ(MeshHeaderHandler::CreateMeshElement(element, nullptr, *mesh, true, ActiveModelRef()),
              SUCCESS);
    ASSERT_TRUE(element.IsValid());
    const host::Element* made = host::Inside::ElementOf(element);
    EXPECT_EQ(made->type, host::ElementType::Mesh);
    EXPECT_EQ(made->points, kFourPoints);
    EXPECT_EQ(made->faces, c.faces);
    EXPECT_EQ(made->color, 0u);
    EXPECT_EQ(element.GetModelRef(), &ActiveModelRef());
  }
}

TEST_F(NewElementsTest, MeshThatNamesNoPointOrLeavesAPartialFaceIsRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    int numPerFace;
    std::vector<DPoint3d> points;
    std::vector<int32_t> indices;
  };
  const Case cases[] = {
      {"index 0 in a fixed block", 3, kFourPoints, {1, 2, 0}},
      {"index above the point count", 3, kFourPoints, {1, 2, 5}},
      {"negative index above the point count", 3, kFourPoints, {1, 2, -5}},
      {"lowest int", 3, kFourPoints, {1, 2, std::numeric_limits<int32_t>::min()}},
      {"partial fixed block", 3, kFourPoints, {1, 2, 3, 4}},
      {"variable run without its terminator", 0, kFourPoints, {1, 2, 3, 0, 2, 3}},
      {"empty variable face", 0, kFourPoints, {1, 2, 3, 0, 0}},
      {"variable index above the point count", 0, kFourPoints, {1, 2, 9, 0}},
      {"no indices", 3, kFourPoints, {}},
      {"no points", 3, {}, {1, 2, 3}},
      {"non-finite point", 3, {{0, 0, 0}, {1, nan, 0}, {2, 2, 0}}, {1, 2, 3}},
      {"point beyond what a design holds", 3, {{0, 0, 0}, {1, 0, 0}, {2, 2, 1e18}}, {1, 2, 3}},
      {"point far below", 3, {{0, 0, 0}, {1, 0, 0}, {2, 2, -2e15}}, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditElementHandle element;
    PolyfaceHeaderPtr mesh = makeMesh(c.numPerFace, c.points, c.indices);
    EXPECT_NE(MeshHeaderHandler::CreateMeshElement(element, nullptr, *mesh, true, ActiveModelRef()),
              SUCCESS);
    EXPECT_FALSE(element.IsValid());
  }
}

TEST_F(NewElementsTest, TwoDimensionalMeshLosesItsHeight) {
  EditElementHandle element;
  PolyfaceHeaderPtr mesh = makeMesh(3, kFourPoints, {1, 2, 3});
  ASSERT_EQ(MeshHeaderHandler::CreateMeshElement(element, nullptr, *mesh, false, ActiveModelRef()),
            SUCCESS);
  for (const DPoint3d& point : host::Inside::ElementOf(element)->points) EXPECT_EQ(point.z, 0);
}

TEST_F(NewElementsTest, TemplateElementGivesItsColour) {
  EditElementHandle templateElement;
  PolyfaceHeaderPtr mesh = makeMesh(3, kFourPoints, {1, 2, 3});
  ASSERT_EQ(
      MeshHeaderHandler::CreateMeshElement(templateElement, nullptr, *mesh, true, ActiveModelRef()),
      SUCCESS);
  host::Inside::NewElementOf(templateElement)->color = 7;
  EditElementHandle element;
  ASSERT_EQ(MeshHeaderHandler::CreateMeshElement(element, &templateElement, *mesh, true,
                                                 ActiveModelRef()),
            SUCCESS);
  EXPECT_EQ(host::Inside::ElementOf(element)->color, 7u);
}

TEST_F(NewElementsTest, SetterGivesOnlyWhatWasSet) {
  PolyfaceHeaderPtr mesh = makeMesh(3, kFourPoints, {1, 2, 3});
  EditElementHandle element;
  ASSERT_EQ(MeshHeaderHandler::CreateMeshElement(element, nullptr, *mesh, true, ActiveModelRef()),
            SUCCESS);
  host::Inside::NewElementOf(element)->color = 5;

  ElementPropertiesSetterPtr untouched = ElementPropertiesSetter::Create();
  EXPECT_TRUE(untouched->Apply(element));
  EXPECT_EQ(host::Inside::ElementOf(element)->color, 5u);

  ElementPropertiesSetterPtr setter = ElementPropertiesSetter::Create();
  setter->SetColor(300);
  EXPECT_TRUE(setter->Apply(element));
  EXPECT_EQ(host::Inside::ElementOf(element)->color, 300u);

  EditElementHandle empty;
  EXPECT_FALSE(setter->Apply(empty));
}

}  // namespace
