// Micro-benchmarks of the hot paths: chunk walk, smoothing, texture coordinates,
// number formatting, animation sampling, and writing a large mesh in each encoding.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>

#include "anim/sampling.h"
#include "geometry/geometry.h"
#include "lwbuild.h"
#include "lwo/reader.h"
#include "xfile/numfmt.h"
#include "xfile/xwriter.h"
#include "xscene/materials.h"
#include "xscene/mesh.h"

using namespace torvo;

using namespace lwbuild;

namespace {

// A smoothed, planar-mapped UV sphere of n x m polygons.
Bytes sphere(unsigned n, unsigned m) {
  const Geometry g = uvSphere(n, m, 1.0);
  LwobBuilder builder;
  builder.surfaces({"Skin"}).points(g.points).polygons(g.polygons);
  builder.surface("Skin", {subU16("FLAG", 4), subString("CTEX", "Planar Image Map"), subU16("TFLG", 2)});
  return builder.bytes();
}

const Bytes& sphereBytes() {
  static const Bytes bytes = sphere(128, 120);
  return bytes;
}

void BM_ChunkWalk(benchmark::State& state) {
  for (auto _ : state) {
    LwObject object;
    if (!ok(lwLoadObjectFromMemory(object, sphereBytes().data(), sphereBytes().size(), 0, MessageSink{}))) std::abort();
    benchmark::DoNotOptimize(object.polygons.data());
    lwDisposeObject(object);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sphereBytes().size()));
}
BENCHMARK(BM_ChunkWalk)->Unit(benchmark::kMillisecond);

// Times one geometry step on fresh copies of the loaded sphere.
template <class Step>
void timeStep(benchmark::State& state, Step step) {
  LwObject base;
  if (!ok(lwLoadObjectFromMemory(base, sphereBytes().data(), sphereBytes().size(), 0, MessageSink{}))) std::abort();
  lwPrepareObject(base, false, false, false, MessageSink{});
  for (auto _ : state) {
    state.PauseTiming();
    LwObject object = base;
    state.ResumeTiming();
    step(object);
    benchmark::DoNotOptimize(object.vertices.data());
  }
}

void BM_Smoothing(benchmark::State& state) { timeStep(state, [](LwObject& o) { lwComputeNormals(o); }); }
BENCHMARK(BM_Smoothing)->Unit(benchmark::kMillisecond);

void BM_TextureCoords(benchmark::State& state) {
  timeStep(state, [](LwObject& o) { lwComputeTextureCoords(o, false); });
}
BENCHMARK(BM_TextureCoords)->Unit(benchmark::kMillisecond);

// Writes the materials and mesh of the loaded, smoothed and mapped 256 x 255 sphere
// to a file, as a conversion does after reading: the output stage on its own.
void BM_WriteSphere(benchmark::State& state, bool binary) {
  static const Bytes bytes = sphere(256, 255);
  LwObject object;
  if (!ok(lwLoadObjectFromMemory(object, bytes.data(), bytes.size(), 0, MessageSink{}))) std::abort();
  lwPrepareObject(object, true, true, false, MessageSink{});
  const std::string path = (std::filesystem::temp_directory_path() / "torvo_bench_write.x").string();
  std::size_t written = 0;
  for (auto _ : state) {
    // Each run writes a new file, as a conversion does.
    state.PauseTiming();
    std::remove(path.c_str());
    state.ResumeTiming();
    XWriter out;
    out.file = std::fopen(path.c_str(), "wb");
    out.binary = binary;
    MaterialTable table;
    const ConversionContext context;
    collectMaterials(context, table, object);
    writeMaterials(table, 0, out, 0);
    ReadyMesh mesh;
    readyMesh(context, table, object, false, mesh);
    writeMesh(context, table, object, mesh, out, 0);
    benchmark::DoNotOptimize(xFlush(out));
    written = static_cast<std::size_t>(std::ftell(out.file));
    std::fclose(out.file);
  }
  std::remove(path.c_str());
  lwDisposeObject(object);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * written));
}
BENCHMARK_CAPTURE(BM_WriteSphere, text, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteSphere, binary, true)->Unit(benchmark::kMillisecond);

// Times one way of printing "%f" over the same spread of values.
template <class Format>
void timeFormat(benchmark::State& state, Format format) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> dist(-1000.0, 1000.0);
  std::vector<double> values(4096);
  for (double& v : values) v = dist(rng);
  char out[kFixedBufferSize];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(format(out, values[i++ & 4095]));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_FormatFixed(benchmark::State& state) {
  timeFormat(state, [](char* out, double v) { return formatFixed(out, v); });
}
BENCHMARK(BM_FormatFixed);

void BM_Snprintf(benchmark::State& state) {
  timeFormat(state, [](char* out, double v) { return std::snprintf(out, kFixedBufferSize, "%f", v); });
}
BENCHMARK(BM_Snprintf);

void BM_AnimationSampling(benchmark::State& state) {
  LwScene scene;
  scene.firstFrame = 0;
  scene.lastFrame = 10000;
  auto item = std::make_unique<LwObject>();
  for (int k = 0; k < 100; ++k) {
    MotionKey key;
    key.frame = k * 100;
    key.values[kPosX] = std::sin(k);
    key.values[kHeading] = k * 7.0;
    key.values[kScaleX] = key.values[kScaleY] = key.values[kScaleZ] = 1.0;
    item->motionKeys.push_back(key);
  }
  scene.items.push_back(std::move(item));
  std::vector<std::int32_t> frames;
  for (auto _ : state) {
    frames.clear();
    const Status sampled = animationSampleFrames(scene, *scene.items[0], frames);
    benchmark::DoNotOptimize(sampled);
    benchmark::DoNotOptimize(frames.data());
  }
  state.counters["samples"] = static_cast<double>(frames.size());
}
BENCHMARK(BM_AnimationSampling)->Unit(benchmark::kMicrosecond);

}  // namespace

// The readers print progress on standard output, so the results go to standard error.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  std::fflush(stdout);
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return 0;
}
