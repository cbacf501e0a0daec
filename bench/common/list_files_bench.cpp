// listFiles over a generated tree of 100,000 files in 1,000 folders with
// "*.mp4", recursive, timed beside `find DIR -iname '*.mp4'` on the same tree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/list_files.h"
#include "support/bench_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

void makeTree(const std::filesystem::path& root) {
  // 10 top folders with 100 sub-folders each; 100 files per leaf folder, a
  // quarter of them videos with mixed-case extensions.
  for (int top = 0; top < 10; ++top) {
    for (int sub = 0; sub < 100; ++sub) {
      auto folder = root / ("top" + std::to_string(top)) / ("sub" + std::to_string(sub));
      std::filesystem::create_directories(folder);
      for (int f = 0; f < 100; ++f) {
        const char* ext = f % 4 == 0 ? ".mp4" : f % 4 == 1 ? ".MP4" : f % 4 == 2 ? ".jpg" : ".txt";
        std::ofstream(folder / ("file" + std::to_string(f) + ext));
      }
    }
  }
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  const vidralo::bench::BenchDir dir("vidralo-bench-listfiles");
  const std::filesystem::path root = dir.path();
  std::filesystem::remove_all(root);
  makeTree(root);

  const std::string findCommand = "find '" + root.string() + "' -iname '*.mp4' > /dev/null";
  std::vector<double> ours, theirs;
  std::size_t found = 0;
  for (int run = 0; run < 5; ++run) {
    auto start = Clock::now();
    std::vector<std::string> list;
    found = static_cast<std::size_t>(vidralo::listFiles(root.string(), "*.mp4", list, true, true));
    ours.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());

    start = Clock::now();
    if (std::system(findCommand.c_str()) != 0) std::fprintf(stderr, "find failed\n");
    theirs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::filesystem::remove_all(root);

  const double a = median(ours), b = median(theirs);
  std::printf("listFiles: %zu videos in %.1f ms (median of 5)\n", found, a);
  std::printf("find -iname: %.1f ms (median of 5)\n", b);
  std::printf("ratio listFiles/find: %.2f (target <= 1.30)\n", a / b);
  return 0;
}
