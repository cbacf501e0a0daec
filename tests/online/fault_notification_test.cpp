// The reporter's work against the simulated notification service: what the
// operator reads and what the service receives, with and without a service.
#include <gtest/gtest.h>

#include <QString>
#include <QSysInfo>

#include "common/gbk.h"
#include "online/fault_report.h"
#include "services_sim/simulated_services.h"
#include "support/program_directory.h"
#include "support/temp_dir.h"

namespace vidralo::test {
namespace {

class FaultNotificationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(services.start()); }
  void TearDown() override { services.stop(); }

  // Reports error 11 and returns the messages shown.
  std::vector<std::string> report() {
    std::vector<std::string> shown;
    reportFatalError(11, "a_b c\r\n坏了", "1.2", [&](const std::string& text, const std::string& title) {
      EXPECT_EQ(title, "Vesko软件bug提示");
      shown.push_back(text);
    });
    return shown;
  }

  TempDir folder;
  ProgramDirectoryIn programFolder{folder.path()};
  sim::SimulatedServices services;
};

TEST_F(FaultNotificationTest, TheReportReachesTheServiceSignedAndExactlyWorded) {
  // A recipient with "&" stays one parameter.
  folder.write("config.ini",
               "[hosts]\nnotify = " + services.notificationUrl() + "\n[fault]\nrecipient = dev@example.com&x=1\n");
  EXPECT_EQ(report(), std::vector<std::string>{
                          "软件发生致命错误，将尝试上报开发人员加紧修复bug\r\n   软件错误代码：11\r\n   错误信息：a_b c\r\n坏了"});
  const auto sent = services.notifications();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].recipient, "dev@example.com&x=1");
  EXPECT_TRUE(sent[0].signValid) << sent[0].signHeader;
  const FaultFacts facts = currentFaultFacts("1.2");
  EXPECT_EQ(gbkToUtf8(sent[0].title), "电脑" + facts.hostName + "发现bug，软件-" + facts.executableName + "版本号1.2");
  EXPECT_EQ(gbkToUtf8(sent[0].body),
            "所属软件：" + facts.executableName + "\r\n    软件运行路径：" + folder.path() + "\r\n   操作系统：" +
                QSysInfo::prettyProductName().toStdString() +
                "\r\n   软件错误代码：11\r\n   错误信息：a_b c\r\n坏了\r\n其他信息：     Vesko软件 错误信息和bug通知系统。\r\n");
}

TEST_F(FaultNotificationTest, WithoutAServiceNothingIsSentAndTheMessageClaimsNoReport) {
  folder.write("config.ini", "[fault]\nrecipient = dev@example.com\n");
  EXPECT_EQ(report(), std::vector<std::string>{"软件发生致命错误\r\n   软件错误代码：11\r\n   错误信息：a_b c\r\n坏了"});
  EXPECT_TRUE(services.requests().empty());
}

}  // namespace
}  // namespace vidralo::test
