#include "host/polyface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <set>
#include <string>
#include <utility>
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

// Random index lists of every length around the blocks that the count reads at once, sparse
// and dense in terminators, against the plain definition: a face starts at a non-zero entry
// that is first or follows a 0.
TEST(PolyfaceQuery, NumFacetCountsTheStartsOfRunsOfAnyLength) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 3000; ++trial) {
    bvector<int32_t> indices(static_cast<size_t>(trial % 70));
    const unsigned zeroOneIn = 1 + random() % 6;
    for (int32_t& index : indices)
      index = random() % zeroOneIn == 0 ? 0 : static_cast<int32_t>(random() % 9) - 4;
    size_t faces = 0;
    for (size_t i = 0; i < indices.size(); ++i)
      faces += indices[i] != 0 && (i == 0 || indices[i - 1] == 0);
    ASSERT_EQ(VariableMesh({}, indices)->GetNumFacet(), faces) << trial;
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

// The plain formulas, worked out per normal: the cofactor matrix (the inverse transpose
// scaled by the determinant), or the linear part itself when that is singular; then made a
// unit vector, flipped under a mirror. Transform must give exactly their bits.
DVec3d PlainNormal(const Transform& transform, const DVec3d& n) {
  const auto& m = transform.form3d;
  double c[3][3];
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      c[row][col] = m[(row + 1) % 3][(col + 1) % 3] * m[(row + 2) % 3][(col + 2) % 3] -
                    m[(row + 1) % 3][(col + 2) % 3] * m[(row + 2) % 3][(col + 1) % 3];
  double det = m[0][0] * c[0][0] + m[0][1] * c[0][1] + m[0][2] * c[0][2];
  DVec3d out = det == 0 ? transform.MultiplyMatrixOnly(n)
                        : DVec3d{c[0][0] * n.x + c[0][1] * n.y + c[0][2] * n.z,
                                 c[1][0] * n.x + c[1][1] * n.y + c[1][2] * n.z,
                                 c[2][0] * n.x + c[2][1] * n.y + c[2][2] * n.z};
  double length = std::sqrt(out.x * out.x + out.y * out.y + out.z * out.z);
  if (length == 0) return out;
  double scale = (det < 0 ? -1.0 : 1.0) / length;
  return {out.x * scale, out.y * scale, out.z * scale};
}

bool SameBits(const DPoint3d& a, const DPoint3d& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(PolyfaceHeader, TransformGivesThePlainFormulasBitsForRandomTransforms) {
  std::mt19937 random(21);
  std::uniform_real_distribution<double> value(-1e3, 1e3);
  for (int trial = 0; trial < 500; ++trial) {
    SCOPED_TRACE(trial);
    Transform transform;  // identity for trial 0, then translations, then anything
    for (int row = 0; row < 3 && trial > 0; ++row)
      for (int col = trial < 50 ? 3 : 0; col < 4; ++col) transform.form3d[row][col] = value(random);
    if (trial % 9 == 5)  // singular: the last row repeats the first
      for (int col = 0; col < 3; ++col) transform.form3d[2][col] = transform.form3d[0][col];
    PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
    for (int i = 0; i < 40; ++i) {
      mesh->Point().push_back({value(random), value(random), i % 5 == 0 ? -0.0 : value(random)});
      mesh->Normal().push_back(i % 13 == 0 ? DVec3d{0, 0, 0}
                                           : DVec3d{value(random), value(random), value(random)});
    }
    PolyfaceHeaderPtr moved = PolyfaceHeader::CreateVariableSizeIndexed();
    moved->CopyFrom(*mesh);
    moved->Transform(transform, false);
    for (size_t i = 0; i < mesh->Point().size(); ++i) {
      ASSERT_TRUE(SameBits(moved->Point()[i], transform.Multiply(mesh->Point()[i]))) << i;
      ASSERT_TRUE(SameBits(moved->Normal()[i], PlainNormal(transform, mesh->Normal()[i]))) << i;
    }
  }
}

// Hidden edges of a face as (from, to) point pairs: a negative index hides the edge that
// leaves its point.
std::set<std::pair<int32_t, int32_t>> HiddenEdges(const int32_t* face, size_t n) {
  std::set<std::pair<int32_t, int32_t>> hidden;
  for (size_t i = 0; i < n; ++i)
    if (face[i] < 0) hidden.insert({std::abs(face[i]), std::abs(face[(i + 1) % n])});
  return hidden;
}

TEST(PolyfaceHeader, MirroringTurnsFacesOfAnyLengthWithTheirHiddenEdges) {
  const double mirror[12] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0};
  for (size_t n : {2u, 3u, 31u, 32u, 33u, 100u}) {
    SCOPED_TRACE(n);
    bvector<int32_t> face;
    for (size_t i = 0; i < n; ++i)
      face.push_back(static_cast<int32_t>(i % 3 == 1 ? -(i + 1) : i + 1));
    bvector<int32_t> indices = face;
    indices.push_back(0);
    PolyfaceHeaderPtr mesh = VariableMesh(bvector<DPoint3d>(n), indices);
    mesh->Transform(Transform::FromRowValues(mirror), true);
    const int32_t* turned = mesh->GetPointIndexCP();
    ASSERT_EQ(mesh->GetPointIndexCount(), n + 1);
    EXPECT_EQ(turned[n], 0);
    for (size_t j = 0; j < n; ++j) EXPECT_EQ(std::abs(turned[j]), std::abs(face[n - 1 - j]));
    std::set<std::pair<int32_t, int32_t>> expected;
    for (auto [from, to] : HiddenEdges(face.data(), n)) expected.insert({to, from});
    EXPECT_EQ(HiddenEdges(turned, n), expected);
  }
}

}  // namespace
