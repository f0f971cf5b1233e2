// The record text writer against jsoncpp's own stream writer on the documents that an export
// writes: a geometry record of a large element and a small component record.
//   build/tolvane_bench --benchmark_filter=Json
#include <benchmark/benchmark.h>
#include <json/json.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "host/file_name.h"
#include "records/base.h"
#include "records/record_text.h"

namespace {

// A geometry record of 30,000 points (90,000 reals) and 20,000 triangles (60,000 indices).
Json::Value geometryDocument() {
  constexpr int kPoints = 30000;
  constexpr int kTriangles = 20000;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-50000.0, 50000.0);
  Json::Value document;
  document["avoclass"] = "componentGeoes";
  document["code"] = "Site.dgn - Default - 10768";
  document["numberOfColors"] = 1;
  document["numberOfPrimitives"] = Json::UInt64(kTriangles);
  for (double c : {1.0, 0.50196078431372548, 0.0, 1.0}) document["colors"].append(c);
  Json::Value& positions = document["positions"];
  for (int i = 0; i < 3 * kPoints; ++i) positions.append(coordinate(random));
  Json::Value& indices = document["indices"];
  for (int i = 0; i < 3 * kTriangles; ++i) indices.append(Json::UInt64(random() % kPoints));
  Json::Value& materials = document["materialIndices"];
  for (int i = 0; i < kTriangles; ++i) materials.append(0);
  document["normals"] = Json::Value(Json::arrayValue);
  for (int i = 0; i < 6; ++i) document["range"].append(coordinate(random));
  return document;
}

Json::Value componentDocument() {
  Json::Value document;
  const std::string code = "Site.dgn - Default - 10768";
  document["avoclass"] = "components";
  document["code"] = code;
  document["gid"] = "componentGeoes/" + code;
  document["attrid"] = "componentAttribtes/" + code;
  document["ElementID"] = "10768";
  for (int i = 0; i < 16; ++i) document["matrix"].append(i % 5 == 0 ? 1 : 0);
  document["name"] = "Cell: Door";
  document["revision"] = "1";
  document["type"] = "orvelElement";
  return document;
}

const Json::Value& documentFor(const benchmark::State& state) {
  static const Json::Value geometry = geometryDocument();
  static const Json::Value component = componentDocument();
  return state.range(0) == 0 ? geometry : component;
}

void setLabel(benchmark::State& state, size_t bytes) {
  state.SetLabel(state.range(0) == 0 ? "geometry" : "component");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

std::unique_ptr<Json::StreamWriter> jsoncppWriter() {
  Json::StreamWriterBuilder builder;
  builder.settings_["emitUTF8"] = true;
  return std::unique_ptr<Json::StreamWriter>(builder.newStreamWriter());
}

// A file in the temporary folder, as a path the host's file operations take.
std::string scratchFile() {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder && *folder ? folder : "/tmp") + "/tolvane_bench_" +
         std::to_string(getpid()) + ".json";
}

void BM_JsonRecordText(benchmark::State& state) {
  const Json::Value& document = documentFor(state);
  size_t bytes = 0;
  for (auto _ : state) {
    std::string text = toRecordText(document);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  setLabel(state, bytes);
}

void BM_JsonJsoncppWriter(benchmark::State& state) {
  const Json::Value& document = documentFor(state);
  size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream text;
    jsoncppWriter()->write(document, &text);
    bytes = text.str().size();
    benchmark::DoNotOptimize(text);
  }
  setLabel(state, bytes);
}

void BM_JsonWriteJsonFile(benchmark::State& state) {
  const Json::Value& document = documentFor(state);
  const std::string path = scratchFile();
  const WString widePath = BeStringUtilities::Utf8ToWChar(path.c_str());
  for (auto _ : state) writeJsonFile(widePath.c_str(), document);
  setLabel(state, toRecordText(document).size());
  BeFileName::BeDeleteFile(widePath.c_str());
}

void BM_JsonJsoncppWriterToFile(benchmark::State& state) {
  const Json::Value& document = documentFor(state);
  const std::string path = scratchFile();
  for (auto _ : state) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    jsoncppWriter()->write(document, &file);
  }
  setLabel(state, toRecordText(document).size());
  std::remove(path.c_str());
}

BENCHMARK(BM_JsonRecordText)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonJsoncppWriter)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonWriteJsonFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonJsoncppWriterToFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
