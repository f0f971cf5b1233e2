#include "standin/faceter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace host {
namespace {

using Face = std::vector<int32_t>;
constexpr double kPi = std::numbers::pi;

std::vector<Face> FacesOf(const PolyfaceQuery& mesh) {
  std::vector<Face> faces(1);
  for (size_t i = 0; i < mesh.GetPointIndexCount(); ++i) {
    int32_t index = mesh.GetPointIndexCP()[i];
    if (index == 0)
      faces.emplace_back();
    else
      faces.back().push_back(index);
  }
  EXPECT_TRUE(faces.back().empty()) << "the last face has no terminator";
  faces.pop_back();
  return faces;
}

DPoint3d PointOf(const PolyfaceQuery& mesh, int32_t index) {
  return mesh.GetPointCP()[std::abs(index) - 1];
}

DVec3d Minus(const DPoint3d& a, const DPoint3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
DVec3d Cross(const DVec3d& a, const DVec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const DVec3d& a, const DVec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Norm(const DVec3d& a) { return std::sqrt(Dot(a, a)); }

// Area-weighted normal of a face (twice its area in length for a planar face).
DVec3d FaceNormal(const PolyfaceQuery& mesh, const Face& face) {
  DVec3d sum;
  DPoint3d first = PointOf(mesh, face[0]);
  for (size_t i = 1; i + 1 < face.size(); ++i) {
    DVec3d n =
        Cross(Minus(PointOf(mesh, face[i]), first), Minus(PointOf(mesh, face[i + 1]), first));
    sum = {sum.x + n.x, sum.y + n.y, sum.z + n.z};
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

IFacetOptionsPtr Options(int maxPerFace, int curvedMaxPerFace, bool edgeHiding = false) {
  IFacetOptionsPtr options = IFacetOptions::Create();
  options->SetMaxPerFace(maxPerFace);
  options->SetCurvedSurfaceMaxPerFace(curvedMaxPerFace);
  options->SetEdgeHiding(edgeHiding);
  return options;
}

bvector<DPoint3d> LProfile() {
  return {{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}};
}

bvector<DPoint3d> ClockwiseLProfile() {
  bvector<DPoint3d> profile = LProfile();
  std::reverse(profile.begin(), profile.end());
  return profile;
}

struct Solid {
  std::string name;
  std::function<PolyfaceHeaderPtr(const IFacetOptions&)> facet;
};

std::vector<Solid> Solids() {
  bvector<DPoint3d> clockwise = ClockwiseLProfile();
  return {
      {"box",
       [](auto& o) {
         return FacetExtrusion({{0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0}}, {0, 0, 5}, o);
       }},
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
    PolyfaceHeaderPtr mesh = FacetExtrusion({{0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0}}, {0, 0, 5},
                                            *Options(limit, limit, hiding));
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

// Bit-for-bit checks. The export writes these values as they are, so a quicker way of
// computing them must give the same bits as the plain way, which the tests compute here.
bool SameBits(const DPoint3d& a, const DPoint3d& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

DPoint3d Plus(const DPoint3d& a, const DVec3d& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
DVec3d Times(const DVec3d& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
DVec3d Unit(const DVec3d& a) { return Norm(a) == 0 ? a : Times(a, 1 / Norm(a)); }

// One circle point as the plain ring maths places it: its own angle, cosine and sine.
DPoint3d RingPoint(const DPoint3d& center, const DVec3d& u, const DVec3d& v, double radius, int k,
                   int segments) {
  double angle = 2 * kPi * k / segments;
  return Plus(center, Plus(Times(u, radius * std::cos(angle)), Times(v, radius * std::sin(angle))));
}

std::vector<DPoint3d> PlainSpherePoints(const DPoint3d& center, double radius, int segments) {
  int bands = std::max(2, (segments + 1) / 2);
  std::vector<DPoint3d> points = {Plus(center, {0, 0, radius})};
  for (int i = 1; i < bands; ++i) {
    double polar = kPi * i / bands;
    DPoint3d ringCenter = Plus(center, {0, 0, radius * std::cos(polar)});
    for (int k = 0; k < segments; ++k)
      points.push_back(
          RingPoint(ringCenter, {1, 0, 0}, {0, 1, 0}, radius * std::sin(polar), k, segments));
  }
  points.push_back(Plus(center, {0, 0, -radius}));
  return points;
}

std::vector<DPoint3d> PlainConePoints(const DPoint3d& base, const DPoint3d& top, double baseRadius,
                                      double topRadius, int segments) {
  DVec3d w = Unit(Minus(top, base));
  DVec3d u = Unit(Cross(std::abs(w.x) < 0.6 ? DVec3d{1, 0, 0} : DVec3d{0, 1, 0}, w));
  DVec3d v = Cross(w, u);
  std::vector<DPoint3d> points;
  for (auto [center, radius] : {std::pair{base, baseRadius}, std::pair{top, topRadius}}) {
    if (radius == 0) points.push_back(center);
    for (int k = 0; radius != 0 && k < segments; ++k)
      points.push_back(RingPoint(center, u, v, radius, k, segments));
  }
  return points;
}

void ExpectPointsWithBits(const PolyfaceQuery& mesh, const std::vector<DPoint3d>& expected) {
  ASSERT_EQ(mesh.GetPointCount(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    ASSERT_TRUE(SameBits(mesh.GetPointCP()[i], expected[i])) << "point " << i;
}

TEST(FaceterBits, RandomSpheresAndConesPlaceEveryPointAsThePlainRingMaths) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(-1, 1), tolerance(0.05, 2.5);
  auto coordinate = [&] { return unit(random) * std::pow(10.0, 6 * std::abs(unit(random))); };
  auto size = [&] { return std::exp(11 * unit(random)); };
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    IFacetOptionsPtr options = IFacetOptions::Create();
    options->SetAngleTolerance(trial % 10 == 0 ? 0 : tolerance(random));
    int segments = SegmentsForFullCircle(options->GetAngleTolerance());
    DPoint3d center = {coordinate(), coordinate(), coordinate()};
    double radius = size();
    ExpectPointsWithBits(*FacetSphere(center, radius, *options),
                         PlainSpherePoints(center, radius, segments));
    DPoint3d top = {coordinate(), coordinate(), coordinate()};
    double baseRadius = trial % 7 == 1 ? 0 : size(), topRadius = trial % 7 == 2 ? 0 : size();
    ExpectPointsWithBits(*FacetCone(center, top, baseRadius, topRadius, *options),
                         PlainConePoints(center, top, baseRadius, topRadius, segments));
  }
}

// The Newell normal of a face's points, copied out and summed around the face.
DVec3d PlainFaceNormal(const PolyfaceQuery& mesh, const Face& face) {
  std::vector<DPoint3d> polygon;
  for (int32_t index : face) polygon.push_back(PointOf(mesh, index));
  DVec3d sum;
  for (size_t i = 0; i < polygon.size(); ++i)
    sum = Plus(sum, Cross(polygon[i], polygon[(i + 1) % polygon.size()]));
  return Unit(sum);
}

TEST(FaceterBits, RandomMeshesGetThePlainNewellNormalOfEveryFace) {
  std::mt19937 random(12);
  std::uniform_real_distribution<double> coordinate(-1e4, 1e4);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    bvector<DPoint3d> points(2 + random() % 30);
    for (DPoint3d& point : points) point = {coordinate(random), coordinate(random), 0};
    if (trial % 2) points[0].z = coordinate(random);  // some faces not planar
    std::vector<std::vector<int>> faces(1 + random() % 12);
    for (auto& face : faces) {
      face.resize(3 + random() % 7);
      for (int& index : face) {
        index = 1 + static_cast<int>(random() % points.size());
        if (random() % 4 == 0) index = -index;
      }
    }
    IFacetOptionsPtr options = Options(3 + trial % 6, 3, trial % 3 == 0);
    options->SetNormalsRequired(true);
    PolyfaceHeaderPtr mesh = FacetMesh(points, faces, *options);
    std::vector<Face> meshFaces = FacesOf(*mesh);
    ASSERT_EQ(mesh->GetNormalCount(), meshFaces.size());
    for (size_t i = 0; i < meshFaces.size(); ++i)
      ASSERT_TRUE(SameBits(mesh->GetNormalCP()[i], PlainFaceNormal(*mesh, meshFaces[i]))) << i;
  }
}

// FNV-1a over the bytes of every facet set that a table of elements gives under a table of
// facet options, each set also moved by a table of transforms (identity, translation,
// rotation with scale, mirror, singular).
struct Digest {
  uint64_t value = 1469598103934665603ull;
  void Add(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) value = (value ^ bytes[i]) * 1099511628211ull;
  }
  void Add(const PolyfaceQuery& mesh) {
    size_t counts[3] = {mesh.GetPointCount(), mesh.GetPointIndexCount(), mesh.GetNormalCount()};
    Add(counts, sizeof counts);
    Add(mesh.GetPointCP(), mesh.GetPointCount() * sizeof(DPoint3d));
    Add(mesh.GetPointIndexCP(), mesh.GetPointIndexCount() * sizeof(int32_t));
    Add(mesh.GetNormalCP(), mesh.GetNormalCount() * sizeof(DVec3d));
  }
};

uint64_t FacetDigestOfSamples() {
  const bvector<DPoint3d> star = {{0, 0, 0},   {4, -1, 0.5}, {5, 3, 1},     {2.5, 1.5, 0.7},
                                  {1, 4, 0.2}, {-2, 2.2, 0}, {-1.3, 0.4, 0}};
  const bvector<DPoint3d> square = {{0, 0, 0}, {3, 0, 0}, {3, 3, 0}, {0, 3, 0}};
  const bvector<DPoint3d> hexagon = {{2, 0, 1},  {1, 1.7, 1},   {-1, 1.7, 1},
                                     {-2, 0, 1}, {-1, -1.7, 1}, {1, -1.7, 1}};
  const std::vector<std::vector<int>> faces = {{1, -2, 3, 4, 5, 6, -7}, {1, 2}, {7, 6, -5, 4}};
  std::vector<std::function<PolyfaceHeaderPtr(const IFacetOptions&)>> elements = {
      [&](const IFacetOptions& o) { return FacetMesh(star, faces, o); },
      [&](const IFacetOptions& o) { return FacetShape(star, o); },
      [&](const IFacetOptions& o) { return FacetShape(hexagon, o); },
      [&](const IFacetOptions& o) {
        return FacetExtrusion(star, {0.3, -0.2, 2.5}, o);
      },
      [&](const IFacetOptions& o) {
        return FacetExtrusion(hexagon, {0, 0, -1.5}, o);
      },
      [&](const IFacetOptions& o) {
        return FacetExtrusion(square, {1, 2, 3}, o);
      },
      [&](const IFacetOptions& o) {
        return FacetCone({1, 2, 3}, {1.5, 2.5, 9}, 2.5, 0.75, o);
      },
      [&](const IFacetOptions& o) {
        return FacetCone({0, 0, 0}, {7, -3, 1}, 0, 1.25, o);
      },
      [&](const IFacetOptions& o) {
        return FacetCone({0, 0, 0}, {0, 0, -4}, -3, 0, o);
      },
      [&](const IFacetOptions& o) {
        return FacetSphere({10, -20, 30}, 7.5, o);
      },
      [&](const IFacetOptions& o) {
        return FacetSphere({0, 0, 0}, 1e-3, o);
      },
      [&](const IFacetOptions& o) {
        return FacetSphere({-1e5, 3e4, 0.5}, 12345.678, o);
      },
  };
  const double tolerances[] = {std::numbers::pi / 8, 0.1, 0.37, 1.0, 2.5, 0};
  ::Transform identity, moved, turned, mirrored, flat;
  moved.form3d[0][3] = 100.25;
  moved.form3d[1][3] = -7;
  moved.form3d[2][3] = 0.125;
  const double c = 0.7648421872844885, s = 0.644217687237691;  // a turn of 0.7
  const double turnedRows[12] = {2 * c, -2 * s, 0, 5, 2 * s, 2 * c, 0, -6, 0, 0, 0.5, 7};
  turned = ::Transform::FromRowValues(turnedRows);
  const double mirroredRows[12] = {-1, 0, 0, 1, 0, 1, 0, 2, 0, 0.3, 1, 3};
  mirrored = ::Transform::FromRowValues(mirroredRows);
  const double flatRows[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  flat = ::Transform::FromRowValues(flatRows);
  const ::Transform* transforms[] = {&identity, &moved, &turned, &mirrored, &flat};
  Digest digest;
  for (int limit : {3, 4, 5, 8})
    for (double tolerance : tolerances)
      for (bool normals : {false, true})
        for (bool hiding : {false, true}) {
          IFacetOptionsPtr options = IFacetOptions::Create();
          options->SetMaxPerFace(limit);
          options->SetCurvedSurfaceMaxPerFace(7 - limit);
          options->SetAngleTolerance(tolerance);
          options->SetNormalsRequired(normals);
          options->SetEdgeHiding(hiding);
          for (const auto& element : elements) {
            PolyfaceHeaderPtr mesh = element(*options);
            if (!mesh) continue;
            digest.Add(*mesh);
            for (const ::Transform* transform : transforms) {
              PolyfaceHeaderPtr copy = PolyfaceHeader::CreateVariableSizeIndexed();
              copy->CopyFrom(*mesh);
              copy->Transform(*transform, true);
              digest.Add(*copy);
            }
          }
        }
  return digest.value;
}

// Every facet set of the samples, and its copies moved by each sample transform, has the
// bits that the host's faceter and polyface gave when these samples were recorded.
TEST(FaceterBits, SampleFacetSetsKeepTheirRecordedBits) {
  EXPECT_EQ(FacetDigestOfSamples(), 0xfa501f0c5e2b558bull);
}

}  // namespace
}  // namespace host
