// reloadAccounts over 10,000 record files, each a realistic record of about
// 400 bytes; median of 5 runs. Target: under 1 second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "accounts/account_list.h"
#include "common/program_dir.h"
#include "support/bench_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 10000;

class SilentDialogs : public vidralo::Dialogs {
 public:
  void message(const std::string&, const std::string&) override {}
  bool question(const std::string&, const std::string&) override { return true; }
  std::optional<std::string> chooseFolder(const std::string&) override { return std::nullopt; }
};

void writeRecords(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  for (int n = 100; n < 100 + kRecords; ++n) {
    const std::string id = std::to_string(n);
    std::ofstream(folder / (id + ".json"))
        << "{\n    \"昵称\": \"账号昵称" << id << "\",\n    \"素材目录\": \"/home/operator/videos/account" << id
        << "\",\n    \"缓存id\": \"" << id
        << "\",\n    \"分类1\": 8,\n    \"分类2\": 38,\n    \"标签\": \"dou起来\",\n"
           "    \"简介\": \"为大家提供的{title}是由本人原创制作，让大家看到更多的有趣视频\",\n"
           "    \"分类1选中项\": 7,\n    \"分类2选中项\": 5\n}";
  }
}

}  // namespace

int main() {
  const vidralo::bench::BenchDir dir("vidralo-bench-accounts");
  const std::filesystem::path root = dir.path();
  std::filesystem::remove_all(root);
  vidralo::setProgramDirectory(root.string());
  writeRecords(root / "data" / "list");

  vidralo::ControlModel controls;
  SilentDialogs dialogs;
  vidralo::AccountStore store;
  vidralo::CategoryCatalogue categories;
  vidralo::AccountContext context{controls, dialogs, store, categories};

  std::vector<double> runs;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    vidralo::reloadAccounts(context);
    runs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::filesystem::remove_all(root);
  std::sort(runs.begin(), runs.end());
  std::printf("reloadAccounts: %d rows from %d records in %.1f ms (median of 5; slowest %.1f ms; target < 1000)\n",
              controls.rowCount(), kRecords, runs[runs.size() / 2], runs.back());
  return controls.rowCount() == kRecords ? 0 : 1;
}
