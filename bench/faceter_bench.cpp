// The faceter on the solids of an export, under the export's facet options (triangles only,
// normals asked for): the host's share of exporting a curved element.
//   build/tolvane_bench --benchmark_filter=BM_Facet
#include <benchmark/benchmark.h>

#include "host/polyface.h"
#include "standin/geometry/faceter.h"

namespace {

IFacetOptionsPtr exportOptions() {
  IFacetOptionsPtr options = IFacetOptions::Create();
  options->SetMaxPerFace(3);
  options->SetCurvedSurfaceMaxPerFace(3);
  options->SetNormalsRequired(true);
  return options;
}

template <typename Facet>
void facetRepeatedly(benchmark::State& state, Facet facet) {
  const IFacetOptionsPtr options = exportOptions();
  size_t facets = 0;
  for (auto _ : state) {
    PolyfaceHeaderPtr mesh = facet(*options);
    facets = mesh->GetNumFacet();
    benchmark::DoNotOptimize(mesh->GetNormalCP());
  }
  state.counters["facets"] = static_cast<double>(facets);
  state.counters["facets_per_s"] = benchmark::Counter(
      static_cast<double>(facets), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FacetSphere(benchmark::State& state) {
  facetRepeatedly(state, [](const IFacetOptions& options) {
    return host::FacetSphere({1200.5, -340.25, 75}, 250, options);
  });
}
BENCHMARK(BM_FacetSphere);

void BM_FacetCone(benchmark::State& state) {
  facetRepeatedly(state, [](const IFacetOptions& options) {
    return host::FacetCone({10, 20, 0}, {10, 20, 900}, 150, 75, options);
  });
}
BENCHMARK(BM_FacetCone);

void BM_FacetExtrusion(benchmark::State& state) {
  const bvector<DPoint3d> profile = {
      {0, 0, 0}, {400, 0, 0}, {400, 250, 0}, {200, 400, 0}, {0, 250, 0}};
  facetRepeatedly(state, [&](const IFacetOptions& options) {
    return host::FacetExtrusion(profile, {0, 0, 300}, options);
  });
}
BENCHMARK(BM_FacetExtrusion);

}  // namespace
