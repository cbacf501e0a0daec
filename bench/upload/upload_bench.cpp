// What the job does once per video on the file system: the in-use test
// (a scan of every process's descriptors), picking a video from a large
// folder, and taking a title from a big title file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "controls/control_model.h"
#include "upload/file_ops.h"
#include "upload/titles.h"
#include "upload/video_selection.h"
#include "support/bench_dir.h"

namespace {

std::filesystem::path benchFolder(const std::string& name) {
  // One folder for the whole run, removed when the program ends.
  static const vidralo::bench::BenchDir base("vidralo-bench-upload");
  const auto folder = std::filesystem::path(base.path()) / name;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

void BM_IsFileInUse(benchmark::State& state) {
  const auto folder = benchFolder("inuse");
  const std::string video = (folder / "clip.mp4").string();
  std::ofstream(video) << "video";
  for (auto _ : state) benchmark::DoNotOptimize(vidralo::isFileInUse(video));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_IsFileInUse)->Unit(benchmark::kMicrosecond);

void BM_PickVideo(benchmark::State& state) {
  const auto folder = benchFolder("pick");
  for (int i = 0; i < state.range(0); ++i) std::ofstream(folder / ("video" + std::to_string(i) + ".mp4")) << "v";
  vidralo::ControlModel controls;
  controls.appendRow();
  controls.setChecked(vidralo::ControlId::单选框_选择视频_随机, true);
  for (auto _ : state) benchmark::DoNotOptimize(vidralo::pickVideo(controls, folder.string(), 0));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PickVideo)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_NextTitleFromFile(benchmark::State& state) {
  const auto folder = benchFolder("titles");
  const std::string file = (folder / "titles.txt").string();
  {
    std::ofstream out(file);
    for (int i = 0; i < state.range(0); ++i) out << "标题" << i << ',';
  }
  vidralo::ControlModel controls;
  controls.setText(vidralo::ControlId::编辑框_标题库, file);
  vidralo::TitlePool pool;
  for (auto _ : state) benchmark::DoNotOptimize(pool.nextTitle(controls));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_NextTitleFromFile)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
