#include "host/polyface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

PolyfaceHeaderPtr VariableMesh(bvector<DPoint3d> points, bvector<int32_t> indices) {
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
  mesh->Point() = std::move(points);
  mesh->PointIndex() = std::move(indices);
  return mesh;
}

TEST(PolyfaceQuery, NumFacetCountsFaces) {
  struct Case {
    std::string name;
    int numPerFace;
    bvector<int32_t> indices;
    size_t faces;
  };
  std::vector<Case> cases = {
      {"empty", 0, {}, 0},
      {"two triangles", 0, {1, 2, 3, 0, 1, 3, 4, 0}, 2},
      {"mixed sizes and signs", 0, {1, -2, 3, 4, 0, 2, 3, 4, 0}, 2},
      {"stray terminators", 0, {0, 1, 2, 3, 0, 0}, 1},
      {"last face unterminated", 0, {1, 2, 3, 0, 2, 3, 4}, 2},
      {"fixed triangles", 3, {1, 2, 3, 2, 3, 4}, 2},
      {"fixed quads, padded", 4, {1, 2, 3, 0, 1, 2, 3, 4}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int numPerFace = c.numPerFace;
    PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateIndexedMesh(numPerFace, {}, c.indices);
    EXPECT_EQ(mesh->GetNumFacet(), c.faces);
  }
}

TEST(PolyfaceHeader, CopyFromTakesEverythingAndStaysIndependent) {
  PolyfaceHeaderPtr source =
      PolyfaceHeader::CreateIndexedMesh(3, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {1, -2, 3});
  source->Normal().push_back({0, 0, 1});
  PolyfaceHeaderPtr copy = PolyfaceHeader::CreateVariableSizeIndexed();
  copy->Point().push_back({9, 9, 9});
  copy->CopyFrom(*source);
  source->Point()[0] = {0, 0, 0};
  EXPECT_EQ(copy->GetNumPerFace(), 3);
  EXPECT_EQ(copy->Point(), (bvector<DPoint3d>{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}));
  EXPECT_EQ(copy->PointIndex(), (bvector<int32_t>{1, -2, 3}));
  EXPECT_EQ(copy->Normal(), (bvector<DVec3d>{{0, 0, 1}}));
}

TEST(PolyfaceHeader, TransformMovesPointsAndReversesFacesOnlyWhenMirroredAndAsked) {
  const double shift[12] = {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30};
  const double mirror[12] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  struct Case {
    std::string name;
    const double* transform;
    bool reverse;
    bvector<int32_t> indices;
  };
  // Face 1: the edge 2->3 is hidden. Reversed, that edge runs 3->2 and the mark sits on 3.
  std::vector<Case> cases = {
      {"shift", shift, true, {1, -2, 3, 0, 1, 3, 4, 2, 0}},
      {"mirror kept", mirror, false, {1, -2, 3, 0, 1, 3, 4, 2, 0}},
      {"mirror reversed", mirror, true, {-3, 2, 1, 0, 2, 4, 3, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PolyfaceHeaderPtr mesh =
        VariableMesh({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}}, {1, -2, 3, 0, 1, 3, 4, 2, 0});
    Transform transform = Transform::FromRowValues(c.transform);
    mesh->Transform(transform, c.reverse);
    EXPECT_EQ(mesh->Point()[3], transform.Multiply({1, 1, 1}));
    EXPECT_EQ(mesh->PointIndex(), c.indices);
  }
}

TEST(PolyfaceHeader, TransformReversesFixedSizeFacesWithinTheirBlocks) {
  const double mirror[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0};
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateIndexedMesh(
      4, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {1, 2, 3, 0, 1, 2, 3, 4});
  mesh->Transform(Transform::FromRowValues(mirror), true);
  EXPECT_EQ(mesh->PointIndex(), (bvector<int32_t>{3, 2, 1, 0, 4, 3, 2, 1}));
}

TEST(PolyfaceHeader, TransformKeepsNormalsPerpendicularToTheirFaces) {
  struct Case {
    std::string name;
    double transform[12];
    DVec3d normal, expected;
  };
  const double half = std::sqrt(0.5);
  std::vector<Case> cases = {
      {"mirror", {-1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0}, {1, 0, 0}, {-1, 0, 0}},
      {"quarter turn", {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0}, {1, 0, 0}, {0, 1, 0}},
      // The plane x + y = c stretched along x becomes x / 2 + y = c.
      {"stretch",
       {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0},
       {half, half, 0},
       {1 / std::sqrt(5.0), 2 / std::sqrt(5.0), 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
    mesh->Normal().push_back(c.normal);
    mesh->Transform(Transform::FromRowValues(c.transform), true);
    EXPECT_NEAR(mesh->Normal()[0].x, c.expected.x, 1e-12);
    EXPECT_NEAR(mesh->Normal()[0].y, c.expected.y, 1e-12);
    EXPECT_NEAR(mesh->Normal()[0].z, c.expected.z, 1e-12);
  }
}

TEST(PolyfaceHeader, AddIndexedFaceTerminatesEachFace) {
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
  const int32_t first[] = {1, 2, 3}, second[] = {3, -4, 1, 2};
  mesh->AddIndexedFace(first, 3);
  mesh->AddIndexedFace(second, 4);
  EXPECT_EQ(mesh->PointIndex(), (bvector<int32_t>{1, 2, 3, 0, 3, -4, 1, 2, 0}));
  EXPECT_EQ(mesh->GetNumFacet(), 2u);
}

TEST(IFacetOptions, HostDefaults) {
  IFacetOptionsPtr options = IFacetOptions::Create();
  EXPECT_EQ(options->GetMaxPerFace(), 4);
  EXPECT_EQ(options->GetCurvedSurfaceMaxPerFace(), 4);
  EXPECT_DOUBLE_EQ(options->GetAngleTolerance(), std::numbers::pi / 8);
  EXPECT_FALSE(options->GetEdgeHiding());
  EXPECT_FALSE(options->GetNormalsRequired());
}

}  // namespace
