// The faceter's shapes: solids closed and facing outward, curves split as the tolerance
// asks, polygons and meshes within the face limits, hidden edges and normals. Its bit-for-bit
// checks are in faceter_bits_test.cpp.
#include "standin/geometry/faceter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "standin/geometry/faceter_test_helpers.h"

namespace host {
namespace {

using namespace faceter_testing;

// Area-weighted normal of a face (twice its area in length for a planar face).
DVec3d FaceNormal(const PolyfaceQuery& mesh, const Face& face) {
  DVec3d sum;
  DPoint3d first = PointOf(mesh, face[0]);
  for (size_t i = 1; i + 1 < face.size(); ++i) {
    DVec3d n =
        Cross(Minus(PointOf(mesh, face[i]), first), Minus(PointOf(mesh, face[i + 1]), first));
    sum = Plus(sum, n);
  }
  return sum;
}

double SignedVolume(const PolyfaceQuery& mesh) {
  double volume = 0;
  for (const Face& face : FacesOf(mesh)) {
    DPoint3d a = PointOf(mesh, face[0]);
    for (size_t i = 1; i + 1 < face.size(); ++i)
      volume += Dot(a, Cross(PointOf(mesh, face[i]), PointOf(mesh, face[i + 1]))) / 6;
  }
  return volume;
}

// Closed and consistently oriented: every directed edge appears once and its reverse once.
void ExpectClosed(const PolyfaceQuery& mesh) {
  std::map<std::pair<int, int>, int> edges;
  for (const Face& face : FacesOf(mesh))
    for (size_t i = 0; i < face.size(); ++i)
      ++edges[{std::abs(face[i]), std::abs(face[(i + 1) % face.size()])}];
  for (const auto& [edge, count] : edges) {
    EXPECT_EQ(count, 1) << "edge " << edge.first << "-" << edge.second;
    auto reverse = edges.find({edge.second, edge.first});
    EXPECT_TRUE(reverse != edges.end() && reverse->second == 1)
        << "edge " << edge.first << "-" << edge.second << " has no partner";
  }
}

bvector<DPoint3d> LProfile() {
  return {{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}};
}

bvector<DPoint3d> ClockwiseLProfile() {
  bvector<DPoint3d> profile = LProfile();
  std::reverse(profile.begin(), profile.end());
  return profile;
}

// A 2 by 3 box, 5 high.
PolyfaceHeaderPtr Box(const IFacetOptions& options) {
  return FacetExtrusion({{0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0}}, {0, 0, 5}, options);
}

struct Solid {
  std::string name;
  std::function<PolyfaceHeaderPtr(const IFacetOptions&)> facet;
};

std::vector<Solid> Solids() {
  bvector<DPoint3d> clockwise = ClockwiseLProfile();
  return {
      {"box", [](auto& o) { return Box(o); }},
      {"concave extrusion",
       [](auto& o) {
         return FacetExtrusion(LProfile(), {0, 0, 2}, o);
       }},
      {"clockwise profile",
       [=](auto& o) {
         return FacetExtrusion(clockwise, {0, 0, 2}, o);
       }},
      {"downward sweep",
       [](auto& o) {
         return FacetExtrusion(LProfile(), {1, 0, -2}, o);
       }},
      {"cylinder",
       [](auto& o) {
         return FacetCone({0, 0, 0}, {0, 0, 10}, 3, 3, o);
       }},
      {"truncated tilted cone",
       [](auto& o) {
         return FacetCone({1, 2, 3}, {-4, 5, 9}, 3, 1, o);
       }},
      {"apex at base",
       [](auto& o) {
         return FacetCone({0, 0, 0}, {0, 0, 4}, 0, 2, o);
       }},
      {"apex at top",
       [](auto& o) {
         return FacetCone({0, 0, 0}, {0, 4, 0}, 2, 0, o);
       }},
      {"sphere",
       [](auto& o) {
         return FacetSphere({5, 5, 5}, 2, o);
       }},
  };
}

TEST(FaceterSolids, AreClosedAndFaceOutwardUnderEveryFaceLimit) {
  for (const Solid& solid : Solids()) {
    for (auto [planar, curved] : {std::pair{3, 3}, {4, 4}, {4, 3}, {8, 4}}) {
      SCOPED_TRACE(solid.name + " limits " + std::to_string(planar) + "/" + std::to_string(curved));
      PolyfaceHeaderPtr mesh = solid.facet(*Options(planar, curved));
      ASSERT_TRUE(mesh);
      ExpectClosed(*mesh);
      EXPECT_GT(SignedVolume(*mesh), 0);
      for (const Face& face : FacesOf(*mesh)) {
        EXPECT_GE(face.size(), 3u);
        EXPECT_LE(face.size(), static_cast<size_t>(std::max(planar, curved)));
      }
    }
  }
}

TEST(FaceterSolids, VolumesMatchTheirShapes) {
  IFacetOptionsPtr options = Options(3, 3);
  // The L profile has area 6; the sweep's height above the profile is what counts.
  EXPECT_NEAR(SignedVolume(*FacetExtrusion(LProfile(), {1, 0, -2}, *options)), 12, 1e-9);
  // A cylinder is a prism over the inscribed 16-gon: area n/2 r^2 sin(2 pi / n).
  double prism = 16 / 2.0 * 9 * std::sin(2 * kPi / 16) * 10;
  EXPECT_NEAR(SignedVolume(*FacetCone({0, 0, 0}, {0, 0, 10}, 3, 3, *options)), prism, 1e-9);
  double sphere = SignedVolume(*FacetSphere({0, 0, 0}, 2, *options));
  EXPECT_LT(sphere, 4.0 / 3 * kPi * 8);
  EXPECT_GT(sphere, 0.9 * 4.0 / 3 * kPi * 8);
}

TEST(FaceterSolids, DegenerateSolidsGiveNoFacetSet) {
  IFacetOptionsPtr options = IFacetOptions::Create();
  EXPECT_FALSE(FacetExtrusion(LProfile(), {0, 0, 0}, *options));
  EXPECT_FALSE(FacetExtrusion({{0, 0, 0}, {1, 0, 0}}, {0, 0, 1}, *options));
  EXPECT_FALSE(FacetCone({1, 1, 1}, {1, 1, 1}, 2, 2, *options));
  EXPECT_FALSE(FacetCone({0, 0, 0}, {0, 0, 1}, 0, 0, *options));
  EXPECT_FALSE(FacetSphere({0, 0, 0}, 0, *options));
  EXPECT_FALSE(FacetSphere({0, 0, 0}, -1, *options));
}

TEST(FaceterCurves, SegmentCountFollowsTheAngleTolerance) {
  struct Case {
    double tolerance;
    int segments;
  };
  for (Case c : {Case{kPi / 8, 16},
                 {kPi / 4, 8},
                 {2 * kPi / 12, 12},
                 {kPi / 8.5, 17},
                 {3, 3},
                 {0, 16},
                 {-1, 16},
                 {NAN, 16},
                 {1e-9, 4096}}) {
    SCOPED_TRACE(c.tolerance);
    EXPECT_EQ(SegmentsForFullCircle(c.tolerance), c.segments);
  }
}

TEST(FaceterCurves, CirclesGetTheSegmentsThatTheToleranceAsks) {
  for (auto [tolerance, segments] : {std::pair{kPi / 8, 16}, {kPi / 4, 8}, {2 * kPi / 12, 12}}) {
    IFacetOptionsPtr options = IFacetOptions::Create();
    options->SetAngleTolerance(tolerance);
    EXPECT_EQ(FacetCone({0, 0, 0}, {0, 0, 1}, 1, 1, *options)->GetPointCount(), 2u * segments);
    EXPECT_EQ(FacetCone({0, 0, 0}, {0, 0, 1}, 1, 0, *options)->GetPointCount(), segments + 1u);
    // A sphere: two poles and rings of `segments` points every half-segment of latitude.
    size_t rings = (segments + 1) / 2 - 1;
    EXPECT_EQ(FacetSphere({0, 0, 0}, 1, *options)->GetPointCount(), 2 + rings * segments);
  }
}

TEST(FaceterCurves, CurvedLimitAppliesToCurvedFacesAndPlanarLimitToCaps) {
  // Planar faces may hold 8 points, curved ones 3: the sides become triangles and each
  // 16-point cap is fanned into 14 triangles.
  PolyfaceHeaderPtr cylinder = FacetCone({0, 0, 0}, {0, 0, 1}, 1, 1, *Options(8, 3));
  std::vector<Face> faces = FacesOf(*cylinder);
  EXPECT_EQ(faces.size(), 16u * 2 + 2 * 14);
  for (const Face& face : faces) EXPECT_EQ(face.size(), 3u);
  // With quads allowed on curved surfaces the sides stay quads.
  faces = FacesOf(*FacetCone({0, 0, 0}, {0, 0, 1}, 1, 1, *Options(3, 4)));
  EXPECT_EQ(std::count_if(faces.begin(), faces.end(), [](auto& f) { return f.size() == 4; }), 16);
}

TEST(FaceterShape, PolygonsStayWithinTheFaceLimit) {
  struct Case {
    std::string name;
    bvector<DPoint3d> polygon;
  };
  std::vector<Case> cases = {
      {"triangle", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},
      {"square", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}},
      {"hexagon", {{2, 0, 0}, {1, 2, 0}, {-1, 2, 0}, {-2, 0, 0}, {-1, -2, 0}, {1, -2, 0}}},
      {"L", LProfile()},
  };
  for (const Case& c : cases) {
    for (int limit : {3, 4}) {
      SCOPED_TRACE(c.name + " limit " + std::to_string(limit));
      PolyfaceHeaderPtr mesh = FacetShape(c.polygon, *Options(limit, limit));
      EXPECT_EQ(mesh->GetPointCount(), c.polygon.size());
      for (size_t i = 0; i < c.polygon.size(); ++i) EXPECT_EQ(mesh->GetPointCP()[i], c.polygon[i]);
      for (const Face& face : FacesOf(*mesh)) EXPECT_LE(face.size(), static_cast<size_t>(limit));
    }
  }
}

TEST(FaceterShape, ConvexPolygonIsFannedFromItsFirstPoint) {
  bvector<DPoint3d> pentagon = {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 3, 0}, {-1, 1, 0}};
  EXPECT_EQ(FacesOf(*FacetShape(pentagon, *Options(3, 3))),
            (std::vector<Face>{{1, 2, 3}, {1, 3, 4}, {1, 4, 5}}));
}

// Even-odd test in the xy plane.
bool InsidePolygon(const bvector<DPoint3d>& polygon, double x, double y) {
  bool inside = false;
  for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const DPoint3d &a = polygon[i], &b = polygon[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

TEST(FaceterShape, ConcavePolygonTrianglesCoverExactlyItsArea) {
  struct Case {
    std::string name;
    bvector<DPoint3d> polygon;
    double area;
  };
  bvector<DPoint3d> comb = {{0, 0, 0}, {7, 0, 0}, {7, 3, 0}, {6, 3, 0}, {6, 1, 0}, {5, 1, 0},
                            {5, 3, 0}, {2, 3, 0}, {2, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}};
  bvector<DPoint3d> arrow = {{0, 0, 0}, {4, 2, 0}, {0, 4, 0}, {1, 2, 0}};
  bvector<DPoint3d> clockwiseL = ClockwiseLProfile();
  // A concave polygon with a collinear run along its bottom edge.
  bvector<DPoint3d> notch = {{0, 0, 0}, {1, 0, 0},   {2, 0, 0}, {3, 0, 0},
                             {3, 2, 0}, {1.5, 1, 0}, {0, 2, 0}};
  std::vector<Case> cases = {{"L", LProfile(), 6},
                             {"clockwise L", clockwiseL, 6},
                             {"comb", comb, 17},
                             {"arrow", arrow, 6},
                             {"notch", notch, 4.5}};
  for (const Case& c : cases) {
    for (bool hiding : {false, true}) {
      SCOPED_TRACE(c.name);
      PolyfaceHeaderPtr mesh = FacetShape(c.polygon, *Options(3, 3, hiding));
      std::vector<Face> faces = FacesOf(*mesh);
      EXPECT_EQ(faces.size(), c.polygon.size() - 2);
      double polygonTurn = c.name == "clockwise L" ? -1 : 1;
      double sum = 0;
      for (const Face& face : faces) {
        ASSERT_EQ(face.size(), 3u);
        double area = FaceNormal(*mesh, face).z / 2 * polygonTurn;
        EXPECT_GE(area, 0) << "a triangle turns against its polygon";
        sum += area;
        DPoint3d a = PointOf(*mesh, face[0]), b = PointOf(*mesh, face[1]),
                 p = PointOf(*mesh, face[2]);
        if (area > 0) {
          EXPECT_TRUE(InsidePolygon(c.polygon, (a.x + b.x + p.x) / 3, (a.y + b.y + p.y) / 3));
        }
      }
      EXPECT_NEAR(sum, c.area, 1e-12);
    }
  }
}

TEST(FaceterShape, ConcavePolygonInATiltedPlaneCoversItsArea) {
  // The L profile turned into the plane x = z: its area grows by sqrt(2).
  bvector<DPoint3d> tilted;
  for (const DPoint3d& p : LProfile()) tilted.push_back({p.x, p.y, p.x});
  PolyfaceHeaderPtr mesh = FacetShape(tilted, *Options(3, 3));
  double sum = 0;
  for (const Face& face : FacesOf(*mesh)) sum += Norm(FaceNormal(*mesh, face)) / 2;
  EXPECT_NEAR(sum, 6 * std::sqrt(2.0), 1e-12);
}

TEST(FaceterMesh, KeepsPointsFacesAndSignsAndLeavesOutBrokenFaces) {
  bvector<DPoint3d> points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  std::vector<std::vector<int>> faces = {{1, -2, 3}, {1, 3, 9}, {2, 3}, {1, 3, -4}, {0, 1, 2}};
  PolyfaceHeaderPtr mesh = FacetMesh(points, faces, *IFacetOptions::Create());
  ASSERT_EQ(mesh->GetPointCount(), 4u);
  EXPECT_EQ(mesh->GetPointCP()[2], (DPoint3d{1, 1, 0}));
  EXPECT_EQ(FacesOf(*mesh), (std::vector<Face>{{1, -2, 3}, {1, 3, -4}}));
  EXPECT_EQ(mesh->GetNormalCount(), 0u);
}

TEST(FaceterMesh, SplitFacesKeepSignsAndEdgeHidingMarksTheAddedEdges) {
  bvector<DPoint3d> points = {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 3, 0}, {-1, 1, 0}};
  struct Case {
    Face face;
    bool edgeHiding;
    std::vector<Face> expected;
  };
  std::vector<Case> cases = {
      {{1, 2, 3, 4, 5}, false, {{1, 2, 3}, {1, 3, 4}, {1, 4, 5}}},
      {{1, 2, 3, 4, 5}, true, {{1, 2, -3}, {-1, 3, -4}, {-1, 4, 5}}},
      {{1, -2, 3, 4, -5}, false, {{1, -2, 3}, {1, 3, 4}, {1, 4, -5}}},
      {{1, -2, 3, 4, -5}, true, {{1, -2, -3}, {-1, 3, -4}, {-1, 4, -5}}},
  };
  for (const Case& c : cases) {
    std::vector<std::vector<int>> faces = {std::vector<int>(c.face.begin(), c.face.end())};
    EXPECT_EQ(FacesOf(*FacetMesh(points, faces, *Options(3, 3, c.edgeHiding))), c.expected);
  }
}

TEST(FaceterEdgeHiding, OnlyTheDiagonalsOfASplitBoxAreHidden) {
  auto box = [](bool hiding, int limit) {
    PolyfaceHeaderPtr mesh = Box(*Options(limit, limit, hiding));
    return std::count_if(mesh->GetPointIndexCP(),
                         mesh->GetPointIndexCP() + mesh->GetPointIndexCount(),
                         [](int32_t i) { return i < 0; });
  };
  EXPECT_EQ(box(true, 3), 12);  // six faces, each diagonal hidden from both its triangles
  EXPECT_EQ(box(false, 3), 0);
  EXPECT_EQ(box(true, 4), 0);  // nothing split
}

TEST(FaceterNormals, OneUnitOutwardNormalPerFaceWhenRequired) {
  IFacetOptionsPtr options = Options(3, 3);
  options->SetNormalsRequired(true);
  PolyfaceHeaderPtr mesh = FacetSphere({1, 1, 1}, 2, *options);
  std::vector<Face> faces = FacesOf(*mesh);
  ASSERT_EQ(mesh->GetNormalCount(), faces.size());
  for (size_t i = 0; i < faces.size(); ++i) {
    DVec3d n = mesh->GetNormalCP()[i];
    EXPECT_NEAR(Norm(n), 1, 1e-12);
    EXPECT_GT(Dot(n, Minus(PointOf(*mesh, faces[i][0]), {1, 1, 1})), 0);
  }
}

}  // namespace
}  // namespace host
