// The geometry record's text from facet sets, the bulk of what an export formats: a sphere-like
// set of N points (coordinates of all sizes an export meets) with two triangles per point.
//   build/tolvane_bench --benchmark_filter=BM_GeometryRecordText
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "host/polyface.h"
#include "records/geometry_record.h"

namespace {

bvector<PolyfaceHeaderPtr> randomFacetSet(int64_t points) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> coordinate(-50000.0, 50000.0);
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
  for (int64_t i = 0; i < points; ++i)
    mesh->Point().push_back(DPoint3d{coordinate(random), coordinate(random), coordinate(random)});
  std::uniform_int_distribution<int32_t> index(1, static_cast<int32_t>(points));
  for (int64_t i = 0; i < 2 * points; ++i) {
    for (int corner = 0; corner < 3; ++corner) mesh->PointIndex().push_back(index(random));
    mesh->PointIndex().push_back(0);
  }
  return {mesh};
}

void BM_GeometryRecordText(benchmark::State& state) {
  const bvector<PolyfaceHeaderPtr> meshes = randomFacetSet(state.range(0));
  GeometryLook look;
  look.millimetreFactor = 0.1;
  std::string buffer;
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string_view text =
        geometryRecordText(buffer, "Site.dgn - Default - 1", look, meshes);
    benchmark::DoNotOptimize(text.data());
    bytes += text.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  // Per number written: 3 coordinates and 6 indices per point.
  state.counters["ns_per_number"] =
      benchmark::Counter(static_cast<double>(state.iterations() * 9 * state.range(0)),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_GeometryRecordText)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
