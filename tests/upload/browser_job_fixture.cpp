#include "browser_job_fixture.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "common/program_dir.h"
#include "common/text_rules.h"
#include "support/poll.h"
#include "support/processes.h"
#include "upload/job_runner.h"

namespace vidralo::test {

void BrowserJobTest::SetUp() {
  setProgramDirectory(dir.file("program"));
  ASSERT_TRUE(platform.start());
  engine.setRunDirectory(programDirectory());
  ASSERT_TRUE(engine.globalInit("")) << "no Chromium found";
  // The page runs in real time; a mild speed-up still leaves it time to
  // answer between the job's steps.
  previousClock_ = setClock(nullptr);
  useClockFactor(4);
}

void BrowserJobTest::TearDown() {
  runner_.reset();
  engine.closeBrowsers();
  setClock(previousClock_);
  platform.stop();
  setProgramDirectory("");
}

void BrowserJobTest::useClockFactor(double factor) {
  installedClocks_.push_back(std::make_shared<ScaledClock>(factor, std::chrono::system_clock::now()));
  setClock(installedClocks_.back());
}

void BrowserJobTest::addAccount(const std::string& id, const std::string& nickname,
                                const std::vector<VideoFile>& videos, bool keepBrowserOpen) {
  const StartOptions options{profileDirectory(id), "960,1038", "1,1"};
  const StartedBrowser login = engine.startBrowser(platform.loginUrl(nickname), options);
  ASSERT_NE(login.sessionId, 0u);
  ASSERT_TRUE(engine.waitPageLoaded(login.sessionId, "视频拖拽"));
  // Closed in order, so that the browser writes the log-in cookie to the
  // profile: a browser killed later must not take the log-in with it.
  engine.closeBrowser(login.sessionId);
  if (keepBrowserOpen) {
    const StartedBrowser open = engine.startBrowser(platform.uploadPageUrl(), options);
    ASSERT_NE(open.sessionId, 0u);
    ASSERT_TRUE(engine.waitPageLoaded(open.sessionId, "视频拖拽"));
  }
  std::filesystem::create_directories(videoFolder(id));
  for (const VideoFile& video : videos)
    dir.write("videos" + id + "/" + video.name, std::string(video.size, static_cast<char>('a' + video.size % 26)));
  controls.appendRow({numberToText(controls.rowCount() + 1), "", videoFolder(id), id});
}

SessionSettings BrowserJobTest::sessionSettings() const {
  const std::string page = uploadPage.empty() ? platform.uploadPageUrl() : uploadPage;
  return SessionSettings{[page] { return page; }, 1920, 1080, {}};
}

void BrowserJobTest::publishOnceThrough(int videosPerAccount) {
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, numberToText(videosPerAccount));
  controls.setText(ControlId::编辑框_视频间隔, "0");
  controls.setText(ControlId::编辑框_视频间隔1, "0");
  controls.setChecked(ControlId::选择框_自动循环, false);
  controls.setChecked(ControlId::单选框_选择视频_顺序, true);
}

void BrowserJobTest::runJob() {
  // One runner for every job of the test, as the program has one.
  if (!runner_) runner_ = std::make_unique<JobRunner>(controls, engine, sessionSettings());
  runner_->toggleJob();
  runner_->waitUntilIdle();
}

CellHistory::CellHistory(ControlModel& controls, int row, int column, std::function<void(const std::string&)> onChange)
    : controls_(controls), row_(row), column_(column), onChange_(std::move(onChange)) {
  handle_ = controls_.subscribe([this](const ControlChange& change) {
    if (change.property != ControlProperty::Cell || change.row != row_ || change.column != column_) return;
    const std::string text = controls_.cell(row_, column_);
    {
      std::lock_guard lock(mutex_);
      texts_.push_back(text);
    }
    changed_.notify_all();
    if (onChange_) onChange_(text);
  });
}

CellHistory::~CellHistory() { controls_.unsubscribe(handle_); }

std::vector<std::string> CellHistory::texts() const {
  std::lock_guard lock(mutex_);
  return texts_;
}

std::vector<std::string> CellHistory::textsStartingWith(const std::string& prefix) const {
  std::vector<std::string> matching;
  for (const std::string& text : texts())
    if (text.starts_with(prefix)) matching.push_back(text);
  return matching;
}

bool CellHistory::contains(const std::string& text) const {
  const std::vector<std::string> all = texts();
  return std::find(all.begin(), all.end(), text) != all.end();
}

bool CellHistory::waitFor(const std::string& text, int seconds) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(seconds),
                           [&] { return std::find(texts_.begin(), texts_.end(), text) != texts_.end(); });
}

std::vector<pid_t> processesOnProfile(const std::string& profileDirectory) {
  std::vector<pid_t> pids;
  for (const ProcessLine& process : processesMentioning(profileDirectory)) pids.push_back(process.pid);
  return pids;
}

bool noProcessLeftOn(const std::string& profileDirectory, int seconds) {
  return pollUntil([&] { return processesOnProfile(profileDirectory).empty(); }, std::chrono::seconds(seconds));
}

int procEntryCount(const char* folder) {
  int count = 0;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator(folder, error); !error && it != std::filesystem::directory_iterator();
       it.increment(error))
    ++count;
  return count;
}

int settledCount(const std::function<int()>& count, int limit, int seconds) {
  int last = count();
  pollUntil([&] { return (last = count()) <= limit; }, std::chrono::seconds(seconds));
  return last;
}

}  // namespace vidralo::test
