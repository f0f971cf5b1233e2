#include "export/mesh_processor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "export/scan_callback.h"
#include "testing/seed.h"

namespace {

Transform Translation(double x, double y, double z) {
  const double values[12] = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z};
  return Transform::FromRowValues(values);
}

Transform MirrorX() {
  const double values[12] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  return Transform::FromRowValues(values);
}

PolyfaceHeaderPtr Triangle() {
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
  mesh->Point() = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const int32_t face[] = {1, 2, 3};
  mesh->AddIndexedFace(face, 3);
  return mesh;
}

// --- The processor driven directly, as the host's output would.

TEST(MeshProcessor, AnswersSoThatEverythingArrivesAsFacets) {
  bvector<PolyfaceHeaderPtr> meshes;
  IFacetOptionsPtr options = IFacetOptions::Create();
  MeshProcessor processor(meshes, options.get());
  EXPECT_TRUE(processor._ProcessAsFacets(true));
  EXPECT_TRUE(processor._ProcessAsFacets(false));
  EXPECT_FALSE(processor._ProcessAsBody(true));
  EXPECT_FALSE(processor._ProcessAsBody(false));
  EXPECT_EQ(processor._GetFacetOptionsP(), options.get());
  // What is not a facet set is refused with the base's status and leaves no trace.
  EXPECT_EQ(processor._ProcessTextString(TextString{}), 0x8000);
  EXPECT_EQ(processor._ProcessCurvePrimitive(CurvePrimitive{{{0, 0, 0}, {1, 0, 0}}}), 0x8000);
  EXPECT_EQ(processor._ProcessCurveVector(CurveVector{}, true), 0x8000);
  EXPECT_EQ(processor._ProcessSolidPrimitive(SolidPrimitive{}), 0x8000);
  EXPECT_EQ(processor._ProcessSurface(BSplineSurface{}), 0x8000);
  EXPECT_TRUE(meshes.empty());
  EXPECT_EQ(processor._ProcessFacets(*Triangle(), false), 0);
  EXPECT_EQ(meshes.size(), 1u);
}

TEST(MeshProcessor, EachDeliveryTakesThePlacementAnnouncedLast) {
  // A script of announcements and deliveries, with the first point that each delivered
  // triangle must show once placed.
  struct Step {
    enum { Announce, AnnounceNull, Deliver } kind;
    Transform placement;
  };
  std::vector<Step> script = {
      {Step::Deliver, {}},  // before any announcement
      {Step::Announce, Translation(10, 0, 0)},
      {Step::Deliver, {}},                      // moved by 10 x
      {Step::Announce, Translation(0, 20, 0)},  // replaces, does not compose
      {Step::Deliver, {}},                      // moved by 20 y
      {Step::Deliver, {}},                      // still 20 y
      {Step::AnnounceNull, {}},
      {Step::Deliver, {}},  // identity again
  };
  std::vector<DPoint3d> expectedFirstPoints = {
      {1, 0, 0}, {11, 0, 0}, {1, 20, 0}, {1, 20, 0}, {1, 0, 0}};

  bvector<PolyfaceHeaderPtr> meshes;
  MeshProcessor processor(meshes, nullptr);
  for (const Step& step : script) {
    if (step.kind == Step::Announce) processor._AnnounceTransform(&step.placement);
    if (step.kind == Step::AnnounceNull) processor._AnnounceTransform(nullptr);
    if (step.kind == Step::Deliver) processor._ProcessFacets(*Triangle(), false);
  }
  ASSERT_EQ(meshes.size(), expectedFirstPoints.size());
  for (size_t i = 0; i < meshes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(meshes[i]->GetPointCP()[0], expectedFirstPoints[i]);
    EXPECT_EQ(meshes[i]->PointIndex(), (bvector<int32_t>{1, 2, 3, 0}));
  }
}

TEST(MeshProcessor, KeepsAnIndependentPlacedCopy) {
  bvector<PolyfaceHeaderPtr> meshes;
  MeshProcessor processor(meshes, nullptr);
  Transform mirror = MirrorX();
  processor._AnnounceTransform(&mirror);
  PolyfaceHeaderPtr delivered = Triangle();
  processor._ProcessFacets(*delivered, false);
  delivered->Point()[0] = {99, 99, 99};

  ASSERT_EQ(meshes.size(), 1u);
  EXPECT_NE(meshes[0].get(), delivered.get());
  EXPECT_EQ(meshes[0]->GetRefCount(), 1u);  // the list's reference only
  EXPECT_EQ(meshes[0]->GetPointCP()[0], (DPoint3d{-1, 0, 0}));
  // A mirroring placement turns the face around so that it keeps facing the same side.
  EXPECT_EQ(meshes[0]->PointIndex(), (bvector<int32_t>{3, 2, 1, 0}));
}

TEST(MeshProcessor, KeepsAFacetSetWithoutFacets) {
  bvector<PolyfaceHeaderPtr> meshes;
  MeshProcessor processor(meshes, nullptr);
  EXPECT_EQ(processor._ProcessFacets(*PolyfaceHeader::CreateVariableSizeIndexed(), false), 0);
  ASSERT_EQ(meshes.size(), 1u);
  EXPECT_EQ(meshes[0]->GetNumFacet(), 0u);
}

// --- collectMeshes over seeded designs, through the host's graphics output.

// Every collection opens a fresh copy of the same seeded design.
class CollectMeshes : public ::testing::Test {
 protected:
  CollectMeshes() { Seed(); }

  std::unique_ptr<host::DesignFile> Seed() {
    host::seed::DesignBuilder builder;
    host::Model& model = builder.AddModel("Default");
    m_square =
        builder.AddMesh(model, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}}, {{1, 2, 3, 4}}).id;
    host::Element& line = builder.AddElement(model, host::ElementType::Line);
    line.points = {{0, 0, 0}, {5, 5, 5}};
    m_line = line.id;

    host::Element& cell = builder.AddElement(model, host::ElementType::Cell);
    cell.transform = Translation(1000, 0, 0);
    host::Element& first = builder.AddChild(cell, host::ElementType::Shape);
    first.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    host::Element& nested = builder.AddChild(cell, host::ElementType::Cell);
    nested.transform = Translation(0, 200, 0);
    host::Element& text = builder.AddChild(nested, host::ElementType::Text);
    text.text = "label";
    host::Element& second = builder.AddChild(nested, host::ElementType::Mesh);
    second.points = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}};
    second.faces = {{1, 2, 3}};
    m_cell = cell.id;

    host::Element& sphere = builder.AddElement(model, host::ElementType::Sphere);
    sphere.radius = 50;
    m_sphere = sphere.id;
    host::Element& cone = builder.AddElement(model, host::ElementType::Cone);
    cone.top = {0, 0, 30};
    cone.baseRadius = 10;
    cone.topRadius = 5;
    m_cone = cone.id;
    host::Element& extrusion = builder.AddElement(model, host::ElementType::Extrusion);
    extrusion.profile = {{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}};
    extrusion.vector = {0, 0, 7};
    m_extrusion = extrusion.id;
    m_noFaces = builder.AddMesh(model, {{0, 0, 0}}, {}).id;
    return builder.Release();
  }

  bool Collect(ElementId id, bvector<PolyfaceHeaderPtr>& meshes, IFacetOptions* options) {
    host::seed::ScopedSession session(Seed());
    ElementHandle element(id, ISessionMgr::GetActiveDgnModelRefP());
    return collectMeshes(meshes, element, options);
  }

  ElementId m_square = 0, m_line = 0, m_cell = 0, m_sphere = 0, m_cone = 0, m_extrusion = 0,
            m_noFaces = 0;
};

TEST_F(CollectMeshes, ElementWithoutMeshEmptiesTheListAndAnswersFalse) {
  bvector<PolyfaceHeaderPtr> meshes = {Triangle(), Triangle()};
  PolyfaceHeaderPtr earlier = meshes[0];
  EXPECT_FALSE(Collect(m_line, meshes, nullptr));
  EXPECT_TRUE(meshes.empty());
  EXPECT_EQ(earlier->GetRefCount(), 1u);  // the list let go of it
}

TEST_F(CollectMeshes, MissingElementGivesFalse) {
  bvector<PolyfaceHeaderPtr> meshes = {Triangle()};
  EXPECT_FALSE(Collect(987654, meshes, nullptr));
  EXPECT_TRUE(meshes.empty());
}

TEST_F(CollectMeshes, CellGivesEveryMeshInDeliveryOrderInModelCoordinates) {
  bvector<PolyfaceHeaderPtr> meshes;
  ASSERT_TRUE(Collect(m_cell, meshes, nullptr));
  ASSERT_EQ(meshes.size(), 2u);
  EXPECT_EQ(meshes[0]->Point(),
            (bvector<DPoint3d>{{1000, 0, 0}, {1001, 0, 0}, {1001, 1, 0}}));  // shape
  EXPECT_EQ(meshes[1]->Point(),
            (bvector<DPoint3d>{{1000, 200, 0}, {1002, 200, 0}, {1002, 202, 0}}));  // mesh
}

TEST_F(CollectMeshes, MeshWithoutFacesIsStillKept) {
  bvector<PolyfaceHeaderPtr> meshes;
  EXPECT_TRUE(Collect(m_noFaces, meshes, nullptr));
  ASSERT_EQ(meshes.size(), 1u);
  EXPECT_EQ(meshes[0]->GetNumFacet(), 0u);
}

TEST_F(CollectMeshes, FacetsWithTheCallersOptions) {
  bvector<PolyfaceHeaderPtr> meshes;
  ASSERT_TRUE(Collect(m_square, meshes, nullptr));  // host defaults keep the quad
  EXPECT_EQ(meshes[0]->PointIndex(), (bvector<int32_t>{1, 2, 3, 4, 0}));
}

TEST_F(CollectMeshes, ExportOptionsGiveOnlyTrianglesWithNormalsForEveryMeshType) {
  IFacetOptionsPtr options = createExportFacetOptions();
  for (ElementId id : {m_square, m_cell, m_sphere, m_cone, m_extrusion}) {
    SCOPED_TRACE(id);
    bvector<PolyfaceHeaderPtr> meshes;
    ASSERT_TRUE(Collect(id, meshes, options.get()));
    for (const PolyfaceHeaderPtr& mesh : meshes) {
      ASSERT_EQ(mesh->GetPointIndexCount() % 4, 0u);
      for (size_t i = 0; i < mesh->GetPointIndexCount(); ++i)
        EXPECT_EQ(mesh->GetPointIndexCP()[i] == 0, i % 4 == 3) << "entry " << i;
      EXPECT_EQ(mesh->GetNormalCount(), mesh->GetNumFacet());
    }
  }
}

}  // namespace
