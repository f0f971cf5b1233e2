#include "standin/geometry/mesh_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "standin/geometry/vector_math.h"

namespace host {
namespace {

using namespace vector_math;

IFacetOptionsPtr OptionsWith(int limit, bool hiding, bool normals) {
  IFacetOptionsPtr options = IFacetOptions::Create();
  options->SetMaxPerFace(limit);
  options->SetCurvedSurfaceMaxPerFace(limit);
  options->SetEdgeHiding(hiding);
  options->SetNormalsRequired(normals);
  return options;
}

// A star-shaped polygon of n points around the origin, convex or with one or many dents, in the
// plane of a random frame: simple, and running counter-clockwise seen from w.
bvector<DPoint3d> RandomPolygon(std::mt19937& random, size_t n, bool dented, DVec3d& w) {
  std::uniform_real_distribution<double> unit(-1, 1);
  w = Normalized(DVec3d{unit(random), unit(random), unit(random) + 2});
  DVec3d u, v;
  PerpendicularFrame(w, u, v);
  const DPoint3d origin{unit(random) * 100, unit(random) * 100, unit(random) * 100};
  const size_t dent = random() % (2 * n);  // past n: every other point dented
  bvector<DPoint3d> points;
  for (size_t k = 0; k < n; ++k) {
    const double angle = 2 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
    const bool dentedHere = dent < n ? k == dent : k % 2 == 1;
    const double radius = dented && dentedHere ? 2 + unit(random) : 5;
    points.push_back(
        Add(origin, Add(Scale(u, radius * std::cos(angle)), Scale(v, radius * std::sin(angle)))));
  }
  return points;
}

// A polygon over the limit becomes n - 2 triangles that keep its winding and cover exactly its
// area, with one normal each; under edge hiding exactly the edges that the split added are
// marked, on the point where they start.
TEST(MeshBuilder, PolygonsOverTheLimitSplitIntoTrianglesThatCoverThem) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    const size_t n = 5 + random() % 20;
    const bool dented = trial % 2 == 1, hiding = trial % 3 == 0;
    DVec3d w;
    const bvector<DPoint3d> polygon = RandomPolygon(random, n, dented, w);
    IFacetOptionsPtr options = OptionsWith(3 + static_cast<int>(random() % 2), hiding, true);
    MeshBuilder builder(*options);
    std::vector<int32_t> face;
    for (const DPoint3d& point : polygon) face.push_back(builder.AddPoint(point));
    builder.AddPolygonFace(face);
    PolyfaceHeaderPtr mesh = builder.Finish();

    const bvector<int32_t>& index = mesh->PointIndex();
    ASSERT_EQ(index.size(), 4 * (n - 2)) << "trial " << trial;
    ASSERT_EQ(mesh->Normal().size(), n - 2) << "trial " << trial;
    double area = 0;
    for (size_t t = 0; t < n - 2; ++t) {
      const int32_t* corners = &index[4 * t];
      ASSERT_EQ(corners[3], 0);
      const DVec3d sum = FaceNewellSum(polygon.data(), corners, 3);
      EXPECT_GT(Dot(sum, w), 0) << "trial " << trial << ", triangle " << t << " turned over";
      area += Length(sum) / 2;
      for (size_t k = 0; k < 3; ++k) {
        const int32_t from = std::abs(corners[k]), to = std::abs(corners[(k + 1) % 3]);
        const bool polygonEdge = to == from % static_cast<int32_t>(n) + 1;
        EXPECT_EQ(corners[k] < 0, hiding && !polygonEdge)
            << "trial " << trial << ", triangle " << t << ", corner " << k;
      }
    }
    EXPECT_NEAR(area, Length(PolygonNormal(polygon)) / 2, 1e-9 * area) << "trial " << trial;
  }
}

// Faces added in one batch give the lists that the same faces give added one at a time, for
// any mix of sizes under and over the limit, with or without normals and edge hiding.
TEST(MeshBuilder, FacesInOneBatchAreTheFacesAddedOneByOne) {
  std::mt19937 random(9);
  for (int trial = 0; trial < 200; ++trial) {
    IFacetOptionsPtr options =
        OptionsWith(3 + static_cast<int>(random() % 4), trial % 2 == 0, trial % 3 != 0);
    std::vector<std::vector<int32_t>> faces(random() % 12);
    for (auto& face : faces) {
      face.resize(3 + random() % 6);
      for (int32_t& corner : face)
        corner = static_cast<int32_t>(1 + random() % 8) * (random() % 4 == 0 ? -1 : 1);
    }
    auto build = [&](bool batch) {
      MeshBuilder builder(*options);
      for (int i = 0; i < 8; ++i)
        builder.AddPoint({static_cast<double>(i), static_cast<double>(i * i % 5), 0.5 * i});
      const int limit = builder.PlanarLimit();
      if (batch) {
        builder.AddFaces([&](auto& add) {
          for (const auto& face : faces) add(std::span<const int32_t>(face), limit);
        });
      } else {
        for (const auto& face : faces) builder.AddFace(face, limit);
      }
      return builder.Finish();
    };
    PolyfaceHeaderPtr batched = build(true), single = build(false);
    EXPECT_EQ(batched->PointIndex(), single->PointIndex()) << "trial " << trial;
    EXPECT_EQ(batched->Normal(), single->Normal()) << "trial " << trial;
  }
}

}  // namespace
}  // namespace host
