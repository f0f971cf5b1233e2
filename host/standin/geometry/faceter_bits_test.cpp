// Bit-for-bit checks of the faceter. The export writes these values as they are, so a quicker
// way of computing them must give the same bits as the plain way, which the tests compute here.
#include "standin/geometry/faceter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "standin/geometry/faceter_test_helpers.h"

namespace host {
namespace {

using namespace faceter_testing;

bool SameBits(const DPoint3d& a, const DPoint3d& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

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
// The bits were recorded with glibc's sin and cos; mingw's C runtime rounds some of them
// otherwise, so on Windows the digest is another one.
TEST(FaceterBits, SampleFacetSetsKeepTheirRecordedBits) {
#ifdef _WIN32
  GTEST_SKIP() << "recorded with glibc's sin and cos";
#endif
  EXPECT_EQ(FacetDigestOfSamples(), 0xfa501f0c5e2b558bull);
}

}  // namespace
}  // namespace host
