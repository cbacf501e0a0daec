#include "app/runtime/demo_setup.h"

#include <filesystem>
#include <fstream>

#include "accounts/account_record.h"
#include "automation/browser_session.h"
#include "automation/cdp/cdp_engine.h"
#include "common/program_dir.h"
#include "common/text_rules.h"

namespace fs = std::filesystem;

namespace vidralo {
namespace {

struct DemoAccount {
  const char* id;
  const char* nickname;
};
constexpr DemoAccount kAccounts[] = {{"901", "演示一号"}, {"902", "演示二号"}};
constexpr int kVideosPerAccount = 3;

bool writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

// A few dozen kilobytes in MP4 boxes: a file type box and a media box of
// filler, enough for the page to upload in pieces.
std::string generatedVideo(int number) {
  const std::size_t payload = 24 * 1024 + static_cast<std::size_t>(number) * 8 * 1024;
  std::string bytes("\0\0\0\x18" "ftypisom\0\0\x02\0" "isomiso2", 24);
  const std::uint32_t boxSize = static_cast<std::uint32_t>(payload + 8);
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((boxSize >> shift) & 0xff);
  bytes += "mdat";
  for (std::size_t i = 0; i < payload; ++i) bytes += static_cast<char>((i * 31 + static_cast<std::size_t>(number)) & 0xff);
  return bytes;
}

bool createAccount(const DemoAccount& account, int firstVideo, std::string& error) {
  const fs::path folder = fs::path(programDirectory()) / "videos" / account.id;
  std::error_code failure;
  fs::create_directories(folder, failure);
  for (int i = 0; i < kVideosPerAccount; ++i) {
    const int number = firstVideo + i;
    if (!writeFile(folder / ("演示视频" + numberToText(number) + ".mp4"), generatedVideo(number))) {
      error = "无法写入演示视频：" + folder.string();
      return false;
    }
  }
  AccountRecord record;
  record.setText(recordKey::nickname, "");
  record.setText(recordKey::folder, folder.string());
  record.setText(recordKey::accountId, account.id);
  if (!record.save(programPath("\\data\\list\\") + account.id + ".json")) {
    error = "无法写入演示账号记录";
    return false;
  }
  return true;
}

}  // namespace

std::string demoFolder(const std::optional<std::string>& directory) {
  return directory ? *directory : userDataDirectory("vidralo-demo");
}

bool resetDemoFolder(const std::string& folder, std::string& error) {
  std::error_code failure;
  if (fs::exists(folder, failure)) {
    if (!fs::is_directory(folder, failure)) {
      error = "演示目录不是目录：" + folder;
      return false;
    }
    const bool empty = fs::is_empty(folder, failure);
    if (!empty && !fs::exists(fs::path(folder) / kDemoFolderMarker, failure)) {
      error = "目录里有其它文件，不是演示目录，演示不会清空它：" + folder;
      return false;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, failure)) fs::remove_all(entry.path(), failure);
  }
  fs::create_directories(folder, failure);
  fs::permissions(folder, fs::perms::owner_all, failure);
  if (!writeFile(fs::path(folder) / kDemoFolderMarker, "vidralo demo\n")) {
    error = "无法创建演示目录：" + folder;
    return false;
  }
  return true;
}

Demo::Demo(std::unique_ptr<DemoPlatform> platform) : platform_(std::move(platform)) {}

bool Demo::prepare(bool visibleBrowser, std::string& error) {
  if (platform_->origin().empty()) {
    error = "模拟平台无法在 127.0.0.1 上监听";
    return false;
  }
  const std::string config = "[hosts]\nplatform = " + platform_->origin() + "\n[browser]\nheadless = " +
                             (visibleBrowser ? "false" : "true") + "\nargs = --lang=zh-CN --disable-features=Translate\n[page]\npublished_sign = " + sim::kPublishedSign +
                             "\npublished_wait = 15\nlogin_sign = " + sim::kLoginSign + "\nready_wait = 30\n";
  if (!writeFile(programPath("\\config.ini"), config)) {
    error = "无法写入 config.ini";
    return false;
  }
  int firstVideo = 1;
  for (const DemoAccount& account : kAccounts) {
    if (!createAccount(account, firstVideo, error)) return false;
    firstVideo += kVideosPerAccount;
  }
  // Each profile logs in once, as an operator does by hand.
  cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  engine.setRunDirectory(programDirectory());
  if (!engine.globalInit("")) {
    error = "没有找到 Chromium、Chrome 或 Edge";
    return false;
  }
  for (const DemoAccount& account : kAccounts) {
    const StartedBrowser login =
        engine.startBrowser(platform_->loginUrl(account.nickname), {profileDirectory(account.id), "960,1038", "1,1"});
    const bool loggedIn = login.sessionId != 0 && engine.waitPageLoaded(login.sessionId, "视频拖拽");
    engine.closeBrowsers();
    if (!loggedIn) {
      error = std::string("演示账号无法登录模拟平台：") + account.id;
      return false;
    }
  }
  return true;
}

std::vector<ControlSetting> Demo::settings() {
  using C = ControlId;
  return {{C::选择框_自动循环, "假"},       {C::选择框_切换账号, "真"},     {C::编辑框_单账号上传, "3"},
          {C::编辑框_账号序列, "1"},        {C::编辑框_视频间隔, "2"},      {C::编辑框_视频间隔1, "4"},
          {C::选择框_2账号间隔, "假"},      {C::选择框_换ip, "假"},         {C::选择框_禁止指定时间, "假"},
          {C::选择框_自动放弃, "真"},       {C::放弃秒, "120"},             {C::单选框_选择视频_顺序, "真"},
          {C::单选框_选择视频_随机, "假"},  {C::单选框_删除, "真"},         {C::单选框_移动, "假"},
          {C::描述_标题库, "真"},           {C::描述_文件名, "假"},         {C::描述_标题模板, "假"},
          {C::编辑框_标题库, "春天的第一场雨\r\n城市夜景延时\r\n一分钟学会做面包\r\n海边的日落\r\n小猫的午后\r\n山间徒步记"}};
}

std::vector<std::string> Demo::publicationLines() const {
  const std::vector<sim::Publication> publications = platform_->publications();
  std::vector<std::string> lines{"演示结束：模拟平台记录了 " + numberToText(static_cast<std::int64_t>(publications.size())) +
                                 " 个发表（账号 | 文件 | 大小 | 标题）"};
  for (const sim::Publication& p : publications)
    lines.push_back(p.nickname + " | " + p.fileName + " | " + numberToText(p.byteSize) + " 字节 | " + p.title);
  return lines;
}

bool Demo::publishedEverything() const { return platform_->publications().size() == kDemoVideoCount; }

}  // namespace vidralo
