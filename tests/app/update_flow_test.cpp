// The update flow in the real start window, the question answered by the
// test: mirror status texts, the question, progress and completion, the
// refused indexes, the checksum, the open button and the version line.
#include <QCryptographicHash>
#include <QLabel>
#include <QPushButton>
#include <filesystem>

#include "app/window/startup.h"
#include "common/clock.h"
#include "common/program_dir.h"
#include "online/update_flow.h"
#include "online_fixture.h"

namespace vidralo::test {
namespace {

namespace fs = std::filesystem;
using sim::MirrorProbe;

// A program file of `size` bytes that, started, leaves "started.txt" in its
// working folder.
std::string scriptOfSize(std::size_t size) {
  std::string script = "#!/bin/sh\necho started > started.txt\nexit 0\n#";
  script.resize(std::max(size, script.size()), 'x');
  return script;
}

class UpdateFlowTest : public OnlineProgram {
 protected:
  void SetUp() override {
    OnlineProgram::SetUp();
    configureAllHosts();
    acceptDisclaimer();
  }

  // A flow over its own start window whose download is recorded, not run.
  struct RecordedFlow {
    explicit RecordedFlow(FakeDialogs& dialogs) : window(&dialogs) {
      UpdateServices services;
      services.startDownload = [this](const std::string& url, const std::string& path, int workers,
                                      DownloadReport callback) {
        started.push_back(url + " " + path + " " + std::to_string(workers));
        progress = std::move(callback);
        return 1;
      };
      services.createShortcut = [this](const std::string& name, const std::string& target) {
        shortcuts.push_back(name + " " + target);
        return true;
      };
      flow = std::make_unique<UpdateFlow>(ProductInfo{"Vidralo", "vidralo", "1.2"}, window, services);
    }
    std::string label(const char* name) {
      QCoreApplication::processEvents();
      return window.findChild<QLabel*>(name)->text().toStdString();
    }
    bool labelShown() {
      QCoreApplication::processEvents();
      return !window.findChild<QLabel*>("透明标签_更新")->isHidden();
    }
    QPushButton* openButton() { return window.findChild<QPushButton*>("超级按钮_打开"); }

    StartWindow window;
    std::unique_ptr<UpdateFlow> flow;
    std::vector<std::string> started, shortcuts;
    DownloadReport progress;
  };
};

TEST_F(UpdateFlowTest, EachMirrorAnswerGivesItsStatusTextAndCancelLeavesEverythingUntouched) {
  struct Case {
    MirrorProbe first, second, third;
    const char* status;
  };
  const Case cases[] = {
      {MirrorProbe::Ok, MirrorProbe::Ok, MirrorProbe::Ok, "华北多线服务器正常"},
      {MirrorProbe::NoAnswer, MirrorProbe::Ok, MirrorProbe::Ok, "广州服务器正常"},
      {MirrorProbe::OtherText, MirrorProbe::NoAnswer, MirrorProbe::Ok, "上海服务器正常"},
      {MirrorProbe::OtherText, MirrorProbe::OtherText, MirrorProbe::NoAnswer, "服务器异常，尝试使用多线服务器连接"},
  };
  serveIndex("1.3", "vidralo-1.3");
  startDialogs.answer = false;
  for (const Case& c : cases) {
    services.setMirrorProbe(1, c.first);
    services.setMirrorProbe(2, c.second);
    services.setMirrorProbe(3, c.third);
    RecordedFlow recorded(startDialogs);
    recorded.flow->runUpdate();
    EXPECT_EQ(recorded.label("状态条1_1"), c.status);
    EXPECT_FALSE(recorded.labelShown());
    EXPECT_TRUE(recorded.openButton()->isHidden());
    EXPECT_EQ(recorded.openButton()->text(), "打开最新版");
    EXPECT_TRUE(recorded.started.empty());
  }
  ASSERT_EQ(startDialogs.questions().size(), std::size(cases));
  EXPECT_EQ(startDialogs.questions()[0].title, "发现新版本，是否更新");
  EXPECT_EQ(startDialogs.questions()[0].text, "发现新版本：v1.3，更新内容：\r\n修复问题");
}

TEST_F(UpdateFlowTest, ProgressTextsAndTheCompletionStepsRunOnce) {
  EXPECT_EQ(updateProgressText(2500000, 512000), "已下载：500kb/2441.40625kb\r\n进度：20.48%");
  EXPECT_EQ(updateProgressText(2500000, 2500000), "已下载：2441.40625kb/2441.40625kb\r\n进度：100%");

  setClock(std::make_shared<ScaledClock>(100.0, std::chrono::system_clock::now()));
  serveIndex("1.3", "vidralo-1.3");
  RecordedFlow recorded(startDialogs);
  recorded.flow->runUpdate();
  const std::string path = directory.file("vidralo-1.3");
  ASSERT_EQ(recorded.started, std::vector<std::string>{services.fileUrl("vidralo-1.3") + " " + path + ".download 2"});
  EXPECT_EQ(recorded.label("透明标签_更新"), "开始更新");
  EXPECT_EQ(recorded.openButton()->text(), "打开：vidralo-1.3");

  recorded.progress(1, 1, 2500000, 512000);
  EXPECT_EQ(recorded.label("透明标签_更新"), "已下载：500kb/2441.40625kb\n进度：20.48%");
  directory.write("vidralo-1.3.download", scriptOfSize(2500000));
  recorded.progress(1, 1, 2500000, 2500000);
  recorded.progress(1, 0, 2500000, 2500000);
  setClock(nullptr);
  EXPECT_EQ(recorded.label("透明标签_更新"), "更新结束");
  EXPECT_FALSE(recorded.openButton()->isHidden());
  EXPECT_EQ(recorded.shortcuts, std::vector<std::string>{"Vidralo " + path});
  EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(UpdateFlowTest, AnIndexThatCannotBeUsedIsNeverOffered) {
  struct Case {
    const char* name;
    std::string index;
    bool failureShown;
  };
  const std::string address = R"(,"下载地址":"http://127.0.0.1:1/f")";
  const Case cases[] = {
      {"empty index", "{}", false},
      {"no version", R"({"文件名":"a")" + address + "}", false},
      {"no address", R"({"版本":"1.3","文件名":"a"})", false},
      {"parent folder", R"({"版本":"1.3","文件名":"../a")" + address + "}", true},
      {"path separator", R"({"版本":"1.3","文件名":"sub/a")" + address + "}", true},
      {"the running program", R"({"版本":"1.3","文件名":"app_test")" + address + "}", true},
      {"malformed checksum", R"({"版本":"1.3","文件名":"a","sha256":"abc")" + address + "}", true},
      {"the settings file", R"({"版本":"1.3","文件名":"config.ini")" + address + "}", true},
      {"an existing folder", R"({"版本":"1.3","文件名":"huancun")" + address + "}", true},
      {"a name of the installation", R"({"版本":"1.3","文件名":"Restart.sh")" + address + "}", true},
      {"an existing file", R"({"版本":"1.3","文件名":"notes")" + address + "}", true},
      {"a download file there", R"({"版本":"1.3","文件名":"b")" + address + "}", true},
      {"a hidden name", R"({"版本":"1.3","文件名":".b")" + address + "}", true},
  };
  fs::create_directories(directory.file("huancun"));
  directory.write("notes", "mine");
  directory.write("b.download", "mine");
  for (const Case& c : cases) {
    services.setUpdateIndex(c.index);
    RecordedFlow recorded(startDialogs);
    recorded.flow->runUpdate();
    EXPECT_TRUE(recorded.started.empty()) << c.name;
    EXPECT_EQ(recorded.labelShown(), c.failureShown) << c.name;
    if (c.failureShown) {
      EXPECT_EQ(recorded.label("透明标签_更新"), kUpdateFailedText) << c.name;
    }
  }
  EXPECT_TRUE(startDialogs.questions().empty());
}

TEST_F(UpdateFlowTest, AFileThatAppearedUnderTheNameDuringTheDownloadIsKept) {
  serveIndex("1.3", "vidralo-1.3");
  RecordedFlow recorded(startDialogs);
  recorded.flow->runUpdate();
  ASSERT_EQ(recorded.started.size(), 1u);
  directory.write("vidralo-1.3", "mine");
  directory.write("vidralo-1.3.download", scriptOfSize(100));
  setClock(std::make_shared<ScaledClock>(100.0, std::chrono::system_clock::now()));
  recorded.progress(1, 0, 100, 100);
  setClock(nullptr);
  EXPECT_EQ(recorded.label("透明标签_更新"), kUpdateFailedText);
  EXPECT_EQ(readFile(directory.file("vidralo-1.3")), "mine");
  EXPECT_FALSE(fs::exists(directory.file("vidralo-1.3.download")));
  EXPECT_TRUE(recorded.shortcuts.empty());
}

TEST_F(UpdateFlowTest, AnAcceptedUpdateIsDownloadedOfferedStartedAndPointedAtByTheDesktopEntry) {
  const std::string file = scriptOfSize(2500000);
  services.addFile("vidralo-1.3", file);
  serveIndex("1.3", "vidralo-1.3");
  startWithStartWindow();
  auto* open = startWindow().findChild<QPushButton*>("超级按钮_打开");
  ASSERT_TRUE(eventually([&] { return open->isVisible(); }));
  EXPECT_EQ(open->text(), "打开：vidralo-1.3");
  EXPECT_EQ(startLabel("透明标签_更新")->text(), "更新结束");
  EXPECT_EQ(statusPart(1), "华北多线服务器正常");
  ASSERT_EQ(startDialogs.questions().size(), 1u);
  EXPECT_EQ(startDialogs.questions()[0].text, "发现新版本：v1.3，更新内容：\r\n修复问题");
  const std::string path = directory.file("vidralo-1.3");
  EXPECT_EQ(readFile(path), file);
  EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_exec, fs::perms::none);
  // The entry is written just after the button shows, on the flow's thread.
  EXPECT_TRUE(eventually(
      [&] { return readFile(home.folder().file("Desktop/Vidralo.desktop")).find(path) != std::string::npos; }));
  for (const char* line : {"版本检查结果1是最新版：0", "启动升级程序检查", "升级文件获取到数据", "提醒用户升级"})
    EXPECT_NE(runLog().find(line), std::string::npos) << line;

  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_TRUE(eventually([&] { return fs::exists(directory.file("started.txt")); }));
  EXPECT_TRUE(eventually([&] { return closes == std::vector<bool>{false}; }));
}

TEST_F(UpdateFlowTest, OnlyACompleteFileThatPassesItsChecksIsOffered) {
  struct Case {
    const char* name;
    std::size_t size;
    std::string sha256;  // of the served file unless "wrong"
    bool cut;
    bool offered;
  };
  const Case cases[] = {
      {"19 bytes", 19, "", false, false},
      {"20 bytes", 20, "", false, true},
      {"matching checksum", 3000000, "match", false, true},
      {"wrong checksum", 3000000, "wrong", false, false},
      {"connection cut", 3000000, "", true, false},
  };
  setClock(std::make_shared<ScaledClock>(100.0, std::chrono::system_clock::now()));
  for (const Case& c : cases) {
    const std::string file = scriptOfSize(c.size).substr(0, c.size);
    services.addFile("new-version", file);
    std::string sha;
    if (c.sha256 == "match")
      sha = QCryptographicHash::hash(QByteArray::fromStdString(file), QCryptographicHash::Sha256).toHex().toStdString();
    if (c.sha256 == "wrong") sha = std::string(64, 'a');
    serveIndex("1.3", "new-version", sha.empty() ? "" : R"(,"sha256":")" + sha + "\"");
    sim::DownloadFaults faults;
    faults.cutMidRange = c.cut;
    services.setDownloadFaults(faults);

    StartWindow window(&startDialogs);
    UpdateFlow flow(ProductInfo{"Vidralo", "vidralo", "1.2"}, window, programUpdateServices());
    flow.runUpdate();
    auto* label = window.findChild<QLabel*>("透明标签_更新");
    auto* open = window.findChild<QPushButton*>("超级按钮_打开");
    const QString expected = QString::fromStdString(c.offered ? "更新结束" : std::string(kUpdateFailedText));
    EXPECT_TRUE(eventually([&] { return label->text() == expected && open->isHidden() != c.offered; })) << c.name;
    EXPECT_EQ(fs::exists(directory.file("new-version")), c.offered || c.size == 19) << c.name;
    fs::remove(directory.file("new-version"));
  }
  setClock(nullptr);
}

TEST_F(UpdateFlowTest, TheHintShowsForAProgramInsideTheDesktopFolderOnly) {
  for (const std::string& folder : {home.folder().file("Desktop/vidralo"), home.folder().file("Desktop"),
                                    home.folder().file("DesktopCopy/vidralo"), directory.path()}) {
    setProgramDirectory(folder);
    RecordedFlow recorded(startDialogs);
    recorded.flow->runStartupOnlineSteps();
    const bool onDesktop = folder.find("/Desktop/") != std::string::npos || folder.ends_with("/Desktop");
    EXPECT_EQ(recorded.labelShown(), onDesktop) << folder;
    if (onDesktop) {
      EXPECT_EQ(recorded.label("透明标签_更新"), kDesktopHintText);
    }
  }
}

TEST_F(UpdateFlowTest, TheVersionLineShowsTheCurrentAndTheNewestVersion) {
  serveIndex("1.3", "vidralo-1.3");
  setClock(std::make_shared<ScaledClock>(100.0, std::chrono::system_clock::now()));
  start();
  const bool shown = eventually([&] { return program->controls().statusText(3) == "当前：1.2   最新版：1.3"; });
  program.reset();
  setClock(nullptr);
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace vidralo::test
