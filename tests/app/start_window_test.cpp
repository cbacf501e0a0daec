// The start window against the simulated online services: the start
// sequence, the disclaimer, the notices and the quotation, the picture and
// its link, a server that does not answer, and the close.
#include <QDesktopServices>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/window/startup.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "online/disclaimer.h"
#include "online/notices.h"
#include "online/update_flow.h"
#include "online_fixture.h"
#include "url_recorder.h"

namespace vidralo::test {
namespace {

namespace fs = std::filesystem;
using StartWindowTest = OnlineProgram;

// Each line's position in the run log, which holds the newest line first.
std::vector<std::size_t> positions(const std::string& log, const std::vector<std::string>& lines) {
  std::vector<std::size_t> found;
  for (const std::string& line : lines) found.push_back(log.find("   " + line + "\r\n"));
  return found;
}

TEST_F(StartWindowTest, StartSequenceRunsInOrderAndTheDisclaimerIsAskedOnlyUntilAccepted) {
  configureAllHosts();
  startWithStartWindow();
  ASSERT_TRUE(quotationShown());
  EXPECT_EQ(statusPart(0), "版本v1.2");
  EXPECT_EQ(startLabel("透明标签3")->text(), "Vidralo");
  ASSERT_EQ(startDialogs.questions().size(), 1u);  // the same version: no update offered
  EXPECT_EQ(startDialogs.questions()[0].title, "免责声明");
  EXPECT_EQ(startDialogs.questions()[0].text, disclaimerText());
  EXPECT_EQ(gbkToUtf8(readFile(disclaimerMarkerPath())),
            "本用户已同意Vesko软件使用协议\r\n\r\n" + disclaimerText());
  EXPECT_FALSE(startLabel("透明标签_更新")->isVisible());
  const auto order = positions(runLog(), {"版本检查结果1是最新版：1", "显示版本号1.2", "启动窗口线程", "启动窗口创建完毕"});
  EXPECT_NE(order.front(), std::string::npos);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << runLog();

  program.reset();
  startWithStartWindow();
  ASSERT_TRUE(quotationShown());
  EXPECT_EQ(startDialogs.questions().size(), 1u);
}

TEST_F(StartWindowTest, ACancelledDisclaimerLeavesNoMarkerAndIsAskedAgain) {
  startDialogs.answer = false;
  startWithStartWindow();
  EXPECT_FALSE(fs::exists(disclaimerMarkerPath()));
  program.reset();
  startWithStartWindow();
  EXPECT_EQ(startDialogs.questions().size(), 2u);
}

TEST_F(StartWindowTest, TheAnnouncementThenTheQuotationAndAPictureWithItsLink) {
  configureAllHosts();
  StartWindow window(&startDialogs);
  loadNotices(window);
  auto* picture = window.findChild<QLabel*>("图片框_广告");
  ASSERT_TRUE(eventually([&] { return window.adTag() == "https://example.com/ad"; }));
  EXPECT_EQ(window.findChild<QLabel*>("状态条1_2")->text(), "今日公告");
  EXPECT_TRUE(picture->movie() || !picture->pixmap().isNull());
  const auto asked = services.requests(sim::ServiceKind::Mirror1);
  ASSERT_FALSE(asked.empty());
  const std::string path = asked.back().path;
  ASSERT_TRUE(path.starts_with("/tool/ad") && path.ends_with(".gif")) << path;
  const int number = std::stoi(path.substr(8));
  EXPECT_TRUE(number >= 1 && number <= 17) << path;

  showQuotation(window);
  EXPECT_TRUE(eventually([&] { return window.findChild<QLabel*>("状态条1_2")->text() == "   知足常乐"; }));
}

TEST_F(StartWindowTest, TheShortcutButtonPutsADesktopEntryOfTheProgramInThisDirectoryOnTheDesktop) {
  acceptDisclaimer();
  startWithStartWindow();
  QTest::mouseClick(startWindow().findChild<QPushButton*>("超级按钮_创建快捷方式"), Qt::LeftButton);
  const std::string entry = readFile(home.folder().file("Desktop/Vidralo.desktop"));
  EXPECT_NE(entry.find("\nExec=\"" + executablePath() + "\" \"--dir\" \"" + directory.path() + "\"\n"),
            std::string::npos)
      << entry;
}

TEST_F(StartWindowTest, TheOpenButtonStartsTheNewVersionOnce) {
  StartWindow window(&startDialogs);
  int opened = 0;
  window.onOpenClicked([&opened] { ++opened; });
  window.showOpenButton();
  window.show();
  QCoreApplication::processEvents();
  for (int click = 0; click < 3; ++click)
    QTest::mouseClick(window.findChild<QPushButton*>("超级按钮_打开"), Qt::LeftButton);
  EXPECT_EQ(opened, 1);
}

TEST_F(StartWindowTest, AnAnimatedPictureIsShownAnimated) {
  // Two frames of one pixel, black then white, looping.
  using namespace std::string_literals;
  const std::string frame = "\x21\xF9\x04\x00\x0A\x00\x00\x00\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"s;
  const std::string gif = "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF"s +
                          "\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"s + frame + "\x44\x01\x00"s + frame +
                          "\x4C\x01\x00\x3B"s;
  StartWindow window(&startDialogs);
  window.setAdPicture(gif);
  QCoreApplication::processEvents();
  const QMovie* movie = window.findChild<QLabel*>("图片框_广告")->movie();
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(movie->state(), QMovie::Running);
  EXPECT_EQ(movie->frameCount(), 2);
}

TEST_F(StartWindowTest, APressOnThePictureOpensWebAddressesAndShowsAnyOtherTag) {
  StartWindow window(&startDialogs);
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler("http", &recorder, "open");
  QDesktopServices::setUrlHandler("https", &recorder, "open");
  for (const char* tag : {"http://a.example/x", "https://b.example/y", "www.c.example", ""}) {
    window.setAdTag(tag);
    QCoreApplication::processEvents();
    QTest::mousePress(window.findChild<QLabel*>("图片框_广告"), Qt::LeftButton);
  }
  QDesktopServices::unsetUrlHandler("http");
  QDesktopServices::unsetUrlHandler("https");
  ASSERT_EQ(recorder.opened.size(), 2);
  EXPECT_EQ(recorder.opened[0].toString(), "http://a.example/x");
  EXPECT_EQ(recorder.opened[1].toString(), "https://b.example/y");
  EXPECT_EQ(startDialogs.messageTexts(), std::vector<std::string>{"www.c.example"});
}

TEST_F(StartWindowTest, WithoutAnAnsweringServerEveryControlShowsItsFailureCase) {
  struct Case {
    const char* name;
    bool configured;
  };
  acceptDisclaimer();
  for (const Case c : {Case{"no hosts configured", false}, Case{"hosts that do not answer", true}}) {
    if (c.configured) {
      configureAllHosts();
      services.stop();
    }
    startWithStartWindow();
    ASSERT_TRUE(eventually([&] { return statusPart(2) == "   "; })) << c.name;
    EXPECT_EQ(statusPart(1), "服务器异常，尝试使用多线服务器连接") << c.name;
    EXPECT_EQ(startWindow().adTag(), "") << c.name;
    // Nothing to offer, nothing asked.
    EXPECT_TRUE(startDialogs.questions().empty()) << c.name;
    EXPECT_FALSE(startLabel("透明标签_更新")->isVisible()) << c.name;
    const auto lines = positions(runLog(), {"提醒用户升级", "升级文件获取到数据", "启动升级程序检查", "版本检查结果1是最新版：0"});
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()) && lines.back() != std::string::npos) << runLog();
    if (!c.configured) {
      EXPECT_TRUE(services.requests().empty());
    }
    program.reset();
  }
}

// The real close ends the test process, so it runs in a child, which finds
// the parent's program directory in the environment.
TEST_F(StartWindowTest, ClosingTheStartWindowSavesTheMainWindowsValuesAndEndsTheProgram) {
  if (!std::getenv("VIDRALO_START_CLOSE_DIR")) setenv("VIDRALO_START_CLOSE_DIR", directory.path().c_str(), 1);
  const std::string folder = std::getenv("VIDRALO_START_CLOSE_DIR");
  EXPECT_EXIT(
      {
        setProgramDirectory(folder);
        Program real;
        openStartWindow(real, {&startDialogs, {"/bin/true"}});
        onMainWindowCreated(real);
        real.controls().setText(ControlId::编辑框_视频间隔, "66");
        real.startWindow()->QWidget::close();
      },
      ::testing::ExitedWithCode(0), "");
  unsetenv("VIDRALO_START_CLOSE_DIR");
  EXPECT_NE(gbkToUtf8(readFile(folder + "/data/setsoft.ini")).find("编辑框_视频间隔=66"), std::string::npos);
}

// During its first second the main window's controls still hold their
// defaults: a close then must not write them over the saved values.
TEST_F(StartWindowTest, ClosingBeforeTheSavedValuesAreRestoredKeepsTheSettingsFile) {
  if (!std::getenv("VIDRALO_EARLY_CLOSE_DIR")) setenv("VIDRALO_EARLY_CLOSE_DIR", directory.path().c_str(), 1);
  const std::string folder = std::getenv("VIDRALO_EARLY_CLOSE_DIR");
  const std::string saved = utf8ToGbk("[编辑框]\r\n编辑框_单账号上传=7\r\n编辑框_视频素材目录=/srv/videos\r\n");
  if (!fs::exists(folder + "/data/setsoft.ini")) directory.write("data/setsoft.ini", saved);
  EXPECT_EXIT(
      {
        setProgramDirectory(folder);
        Program real;
        QTimer::singleShot(100, [&real] { real.startWindow()->QWidget::close(); });
        openStartWindow(real, {&startDialogs, {"/bin/true"}});
        std::_Exit(1);  // the close inside the wait did not end the program
      },
      ::testing::ExitedWithCode(0), "");
  unsetenv("VIDRALO_EARLY_CLOSE_DIR");
  EXPECT_EQ(readFile(folder + "/data/setsoft.ini"), saved);
}

}  // namespace
}  // namespace vidralo::test
