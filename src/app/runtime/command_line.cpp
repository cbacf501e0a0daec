#include "app/runtime/command_line.h"

#include <QCommandLineParser>
#include <QDate>

#include "common/whole_file.h"
#include "controls/control_info.h"

namespace vidralo {
namespace {

// A value read from a file is a password or a title library, never more.
constexpr std::size_t kSettingFileLimit = 1024 * 1024;

QString qt(const char* text) { return QString::fromUtf8(text); }
std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

struct Options {
  QCommandLineOption help{{"h", "help"}, qt("显示本帮助并退出")};
  QCommandLineOption version{{"v", "version"}, qt("显示产品名称和版本并退出")};
  QCommandLineOption dir{"dir", qt("程序目录（账号、设置、日志、浏览器登录都在其中）；默认见 README"), "DIR"};
  QCommandLineOption headless{"headless", qt("不开窗口，直接运行发布任务，进度打印到标准输出")};
  QCommandLineOption set{"set",
                         qt("给控件一个值（编辑框为文本，选择框、单选框为 真/假）；NAME=@FILE 从文件读取"),
                         "NAME=VALUE"};
  QCommandLineOption demo{"demo", qt("演示：内置模拟平台、两个账号、六个视频，运行一次发布任务")};
  QCommandLineOption screenshot{"screenshot", qt("把启动后的主窗口保存为 PNG 文件后退出"), "FILE"};
  QCommandLineOption reportFault{"report-fault", qt("发送故障报告文件后退出"), "FILE"};
  QCommandLineOption listSettings{"list-settings",
                                  qt("列出 --set 接受的每个名称及其类型、默认值和程序目录中的当前值后退出")};
  QCommandLineOption acceptDisclaimer{"accept-disclaimer",
                                      qt("不开窗口接受免责声明（与 --headless 同用时接着运行，否则退出）")};
  QCommandLineOption history{"history", qt("列出发布历史（每次尝试一行，旧的在前）后退出")};
  QCommandLineOption account{"account", qt("与 --history 一起：只列出此账号标识的历史"), "ID"};
  QCommandLineOption since{"since", qt("与 --history 一起：只列出此日及以后的历史"), "YYYY-MM-DD"};
  QCommandLineOption csv{"csv", qt("与 --history 一起：以 CSV（UTF-8）输出")};
  QCommandLineOption login{"login", qt("打开账号 ID 的浏览器登录；无显示器时无窗口运行，登录二维码图片写入 logs/login-ID.png"),
                           "ID"};
  QCommandLineOption loginWait{"login-wait", qt("--login 最多等待的秒数（默认 300）"), "N"};
  QCommandLineOption checkLogins{"check-logins", qt("检查每个账号是否已登录；全部已登录时退出码为 0")};
  QCommandLineOption addAccount{"add-account", qt("添加账号，以 FOLDER 为素材目录，打印新账号标识"), "FOLDER"};
  QCommandLineOption nickname{"nickname", qt("--add-account 的账号昵称"), "NAME"};
  QCommandLineOption statusPort{"status-port", qt("在 127.0.0.1 的这个端口上提供只读的状态页和指标"), "N"};

  void addTo(QCommandLineParser& parser) const {
    parser.setApplicationDescription(qt("Vidralo：通过创作者平台的上传网页批量发布视频"));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption* option : {&help, &version, &dir, &headless, &set, &demo, &screenshot, &reportFault,
                                             &listSettings, &acceptDisclaimer, &history, &account, &since, &csv,
                                             &login, &loginWait, &checkLogins, &addAccount, &nickname,
                                             &statusPort})
      parser.addOption(*option);
  }
};

// The text after "@": the whole file but one final line break, read only
// from a regular file of sensible size (a FIFO or a device would block or
// never end).
std::optional<std::string> readSettingFile(const std::string& path, std::string& error) {
  std::string text;
  if (readWholeFile(path, text, kSettingFileLimit) != ReadOutcome::Read) {
    error = "--set 的值文件不可读（须为不超过 1 MB 的普通文件）：" + path;
    return std::nullopt;
  }
  if (text.ends_with('\n')) text.pop_back();
  if (text.ends_with('\r')) text.pop_back();
  return text;
}

std::optional<ControlSetting> parseSetting(const std::string& assignment, std::string& error) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string::npos) {
    error = "--set 需要 NAME=VALUE 的形式：" + assignment;
    return std::nullopt;
  }
  const std::string name = assignment.substr(0, equals);
  std::string value = assignment.substr(equals + 1);
  if (value.starts_with("@@")) {
    value.erase(0, 1);
  } else if (value.starts_with('@')) {
    std::optional<std::string> fromFile = readSettingFile(value.substr(1), error);
    if (!fromFile) return std::nullopt;
    value = std::move(*fromFile);
  }
  const std::optional<ControlId> id = findControl(name);
  if (!id) {
    error = "没有名为 " + name + " 的控件";
    return std::nullopt;
  }
  const ControlKind kind = controlInfo(*id).kind;
  if (kind == ControlKind::CheckBox || kind == ControlKind::RadioButton) {
    if (value != "真" && value != "假") {
      error = name + " 只能设为 真 或 假：" + value;
      return std::nullopt;
    }
  } else if (!isEditBox(kind)) {
    error = name + " 不是编辑框、选择框或单选框，不能用 --set 设置";
    return std::nullopt;
  }
  return ControlSetting{*id, std::move(value)};
}

// The filters of --history, which mean nothing without it.
std::optional<HistoryRequest> parseHistoryRequest(const QCommandLineParser& parser, const Options& options,
                                                  std::string& error) {
  if (!parser.isSet(options.history)) {
    for (const QCommandLineOption* filter : {&options.account, &options.since, &options.csv})
      if (parser.isSet(*filter)) error = "--" + utf8(filter->names().front()) + " 只能与 --history 一起使用";
    return std::nullopt;
  }
  HistoryRequest request;
  request.csv = parser.isSet(options.csv);
  request.filter.accountId = utf8(parser.value(options.account));
  if (parser.isSet(options.since)) {
    const QString since = parser.value(options.since);
    // A strict form, so that the text compares with the stored times.
    if (since.size() != 10 || !QDate::fromString(since, "yyyy-MM-dd").isValid()) {
      error = "--since 需要 YYYY-MM-DD 形式的日期：" + utf8(since);
      return std::nullopt;
    }
    request.filter.since = utf8(since);
  }
  return request;
}

}  // namespace

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments, std::string& error) {
  Options options;
  QCommandLineParser parser;
  options.addTo(parser);
  QStringList list;
  for (const std::string& argument : arguments) list << QString::fromStdString(argument);
  if (list.isEmpty()) list << "vidralo";
  if (!parser.parse(list)) {
    error = utf8(parser.errorText());
    return std::nullopt;
  }
  if (!parser.positionalArguments().isEmpty()) {
    error = "无法识别的参数：" + utf8(parser.positionalArguments().join(' '));
    return std::nullopt;
  }
  CommandLine line;
  line.help = parser.isSet(options.help);
  line.version = parser.isSet(options.version);
  line.headless = parser.isSet(options.headless);
  line.demo = parser.isSet(options.demo);
  line.listSettings = parser.isSet(options.listSettings);
  line.acceptDisclaimer = parser.isSet(options.acceptDisclaimer);
  if (parser.isSet(options.dir)) line.directory = utf8(parser.value(options.dir));
  if (parser.isSet(options.screenshot)) line.screenshot = utf8(parser.value(options.screenshot));
  if (parser.isSet(options.reportFault)) line.faultFile = utf8(parser.value(options.reportFault));
  std::string historyError;
  line.history = parseHistoryRequest(parser, options, historyError);
  if (!historyError.empty()) {
    error = historyError;
    return std::nullopt;
  }
  if (parser.isSet(options.login)) line.loginAccount = utf8(parser.value(options.login));
  if (parser.isSet(options.loginWait)) {
    if (!line.loginAccount) {
      error = "--login-wait 只能与 --login 一起使用";
      return std::nullopt;
    }
    bool number = false;
    line.loginWaitSeconds = parser.value(options.loginWait).toInt(&number);
    if (!number || line.loginWaitSeconds <= 0) {
      error = "--login-wait 需要一个正整数秒数：" + utf8(parser.value(options.loginWait));
      return std::nullopt;
    }
  }
  line.checkLogins = parser.isSet(options.checkLogins);
  if (parser.isSet(options.addAccount)) line.addAccountFolder = utf8(parser.value(options.addAccount));
  if (parser.isSet(options.nickname)) {
    if (!line.addAccountFolder) {
      error = "--nickname 只能与 --add-account 一起使用";
      return std::nullopt;
    }
    line.nickname = utf8(parser.value(options.nickname));
  }
  if (parser.isSet(options.statusPort)) {
    bool number = false;
    const int port = parser.value(options.statusPort).toInt(&number);
    if (!number || port < 1 || port > 65535) {
      error = "--status-port 须为 1 到 65535 的端口号：" + utf8(parser.value(options.statusPort));
      return std::nullopt;
    }
    line.statusPort = port;
  }
  for (const QString& assignment : parser.values(options.set)) {
    std::optional<ControlSetting> setting = parseSetting(utf8(assignment), error);
    if (!setting) return std::nullopt;
    line.settings.push_back(std::move(*setting));
  }
  return line;
}

std::string usageText() {
  Options options;
  QCommandLineParser parser;
  options.addTo(parser);
  return utf8(parser.helpText().replace("<executable_name>", "vidralo"));
}

void applyControlSettings(ControlModel& controls, const std::vector<ControlSetting>& settings) {
  for (const ControlSetting& setting : settings) {
    if (isEditBox(controlInfo(setting.id).kind))
      controls.setText(setting.id, setting.value);
    else
      controls.setChecked(setting.id, setting.value == "真");
  }
}

}  // namespace vidralo
