#include "online_fixture.h"

#include <QLabel>
#include <filesystem>
#include <fstream>

#include "app/window/startup.h"
#include "online/disclaimer.h"

namespace vidralo::test {

void OnlineProgram::SetUp() {
  StartedProgram::SetUp();
  ASSERT_TRUE(services.start());
  // The run log keeps its lines only once the data folder exists.
  std::filesystem::create_directories(directory.file("data"));
  serveIndex("1.2", "vidralo-new");
  services.setNotices(R"({"all":"今日公告","ad1url":"https://example.com/ad"})");
  services.setQuotation("知足常乐");
}

void OnlineProgram::TearDown() {
  StartedProgram::TearDown();
  services.stop();
}

void OnlineProgram::configureAllHosts(const std::string& extra) {
  directory.write("config.ini", "[hosts]\nupdate1 = " + services.mirrorBase(1) + "\nupdate2 = " +
                                    services.mirrorBase(2) + "\nupdate3 = " + services.mirrorBase(3) +
                                    "\nquotation = " + services.quotationUrl() + "\n" + extra);
}

void OnlineProgram::serveIndex(const std::string& version, const std::string& fileName, const std::string& extraKeys) {
  services.setUpdateIndex(R"({"版本":")" + version + R"(","更新说明":"修复问题","文件名":")" + fileName +
                          R"(","下载地址":")" + services.fileUrl(fileName) + "\"" + extraKeys + "}");
}

void OnlineProgram::acceptDisclaimer() {
  std::filesystem::create_directories(std::filesystem::path(disclaimerMarkerPath()).parent_path());
  std::ofstream(disclaimerMarkerPath()) << "accepted";
}

void OnlineProgram::startWithStartWindow() {
  Program::Options options;
  options.dialogs = &dialogs;
  options.close = [this](bool hideFirst) { closes.push_back(hideFirst); };
  program = std::make_unique<Program>(options);
  openStartWindow(*program, {&startDialogs, {"/bin/true"}});
  onMainWindowCreated(*program);
}

QLabel* OnlineProgram::startLabel(const char* name) {
  return startWindow().findChild<QLabel*>(QString::fromUtf8(name));
}

std::string OnlineProgram::statusPart(int part) {
  return startLabel(("状态条1_" + std::to_string(part)).c_str())->text().toStdString();
}

std::string OnlineProgram::runLog() { return runLogText(directory); }

bool OnlineProgram::quotationShown() {
  return eventually([&] { return statusPart(2) == "   知足常乐"; });
}

}  // namespace vidralo::test
