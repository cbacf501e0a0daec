// A real crash of the program: the running window program receives SIGSEGV,
// leaves its crash record and ends as the signal would, and its reporter
// process delivers the fault report to the simulated notification service.
#include <signal.h>

#include <QProcess>
#include <QSysInfo>
#include <filesystem>
#include <memory>

#include "common/gbk.h"
#include "online/fault_report.h"
#include "online_fixture.h"
#include "support/silent_listener.h"

namespace vidralo::test {
namespace {

namespace fs = std::filesystem;

TEST(FaultReportCrashTest, ACrashedProgramIsReportedByItsReporterProcess) {
  IsolatedHome home;
  TempDir folder;
  sim::SimulatedServices services;
  ASSERT_TRUE(services.start());
  folder.write("config.ini", "[hosts]\nnotify = " + services.notificationUrl() +
                                 "\n[fault]\nrecipient = dev@example.com\n");
  fs::create_directories(folder.file("data"));
  fs::create_directories(home.folder().file(".config/vidralo"));
  home.folder().write(".config/vidralo/vsbq.dll", "accepted");

  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(environment);
  program.start(VIDRALO_EXECUTABLE, {"--dir", QString::fromStdString(folder.path())});
  // The hook is in place once the start sequence has gone on to its threads.
  ASSERT_TRUE(QTest::qWaitFor([&] { return runLogText(folder).find("启动窗口线程") != std::string::npos; }, 60000));
  ::kill(static_cast<pid_t>(program.processId()), SIGSEGV);
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);

  ASSERT_TRUE(QTest::qWaitFor([&] { return !services.notifications().empty(); }, 30000));
  const sim::Notification sent = services.notifications().front();
  services.stop();
  EXPECT_EQ(sent.recipient, "dev@example.com");
  EXPECT_TRUE(sent.signValid) << sent.signHeader;
  const FaultFacts facts = currentFaultFacts("1.2");
  EXPECT_EQ(gbkToUtf8(sent.title), "电脑" + facts.hostName + "发现bug，软件-vidralo版本号1.2");
  EXPECT_EQ(gbkToUtf8(sent.body), "所属软件：vidralo\r\n    软件运行路径：" + folder.path() + "\r\n   操作系统：" +
                                      QSysInfo::prettyProductName().toStdString() +
                                      "\r\n   软件错误代码：11\r\n   错误信息：SIGSEGV\r\n其他信息：     "
                                      "Vesko软件 错误信息和bug通知系统。\r\n");
  // The crash record with its backtrace stays under "logs".
  int records = 0;
  for (const auto& entry : fs::directory_iterator(folder.file("logs")))
    if (entry.path().filename().string().starts_with("crash-")) {
      ++records;
      EXPECT_NE(readFile(entry.path().string()).find("backtrace:\n"), std::string::npos);
    }
  EXPECT_EQ(records, 1);
}

// A reporter started after the desktop session has gone still finds its
// DISPLAY set, and a stopped X server still accepts connections without
// ever answering; either way the reporter reports on standard error instead
// of opening a window, and sends the report.
TEST(FaultReportCrashTest, AReporterWhoseDisplayIsGoneOrSilentStillSendsTheReport) {
  // An X display N listens on TCP port 6000 + N.
  std::unique_ptr<SilentListener> silentServer;
  int silentDisplay = 150;
  for (; silentDisplay < 250; ++silentDisplay) {
    silentServer = std::make_unique<SilentListener>(6000 + silentDisplay);
    if (silentServer->listening()) break;
  }
  ASSERT_TRUE(silentServer->listening());

  for (const std::string& display : {std::string(":97"), "127.0.0.1:" + std::to_string(silentDisplay)}) {
    SCOPED_TRACE(display);
    TempDir folder;
    sim::SimulatedServices services;
    ASSERT_TRUE(services.start());
    folder.write("config.ini", "[hosts]\nnotify = " + services.notificationUrl() +
                                   "\n[fault]\nrecipient = dev@example.com\n");
    const std::string errorText = "SIGSEGV";
    folder.write("record.txt", "vidralo crash record\ndirectory=" + folder.path() + "\nnumber=11\ntext-length=" +
                                   std::to_string(errorText.size()) + "\ntext=" + errorText + "\n");

    QProcess reporter;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("DISPLAY", QString::fromStdString(display));
    reporter.setProcessEnvironment(environment);
    reporter.start(VIDRALO_EXECUTABLE, {"--report-fault", QString::fromStdString(folder.file("record.txt"))});
    const bool finished = reporter.waitForFinished(20000);
    if (!finished) reporter.kill();
    ASSERT_TRUE(finished);
    EXPECT_EQ(reporter.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(reporter.exitCode(), 0);
    ASSERT_EQ(services.notifications().size(), 1u);
    EXPECT_EQ(services.notifications().front().recipient, "dev@example.com");
    services.stop();
  }
}

}  // namespace
}  // namespace vidralo::test
