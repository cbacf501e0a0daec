#include "app/runtime/config_template.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "common/app_config.h"
#include "log/file_replace.h"

namespace vidralo {

std::string configTemplateText() {
  return "; Vidralo 的配置：UTF-8 文本，INI 格式。以 ; 或 # 开头的行是注释。\n"
         "; 去掉键前的 \"; \" 并填上自己的值即可启用；保存后立即生效，无需重启。\n"
         "; 没有填写的键视为未配置：程序不连接对应的服务。\n"
         "\n"
         "[hosts]\n"
         "; 创作者平台：协议 + 主机 [+ :端口]，不带路径（未配置时不启动浏览器）\n"
         "; platform = https://creator.example.com\n"
         "; 查询本机公网 IP 的网站首页，换 IP 时显示新旧地址\n"
         "; iplookup = http://ip.example.com\n"
         "; 更新服务器的三个镜像，以 \"/\" 结尾的地址\n"
         "; update1 = http://update1.example.com/\n"
         "; update2 = http://update2.example.com/\n"
         "; update3 = http://update3.example.com/\n"
         "; 每日一句服务（协议 + 主机，程序请求 \"/?encode=text\"）\n"
         "; quotation = https://v1.hitokoto.cn\n"
         "; 故障报告的通知服务：带端口和路径的地址\n"
         "; notify = http://notify.example.com:8899/tongzhi\n"
         "; 产品主页的主机（主页为此地址 + \"/vidralo\"）\n"
         "; home = https://www.example.com\n"
         "\n"
         "[http]\n"
         "; false（或 0、no）关闭 HTTPS 证书检查，只用于自己的自签名证书主机\n"
         "; verify_tls = true\n"
         "\n"
         "[browser]\n"
         "; auto（没有显示器时无界面运行）、true 或 false\n"
         "; headless = auto\n"
         "; 追加到浏览器命令行的参数，以空格分隔\n"
         "; args = --lang=zh-CN\n"
         "\n"
         "[page]\n"
         "; 确认发布成功的标志：CSS 选择器或页面上的文字；不填时点击确认即算发布\n"
         "; published_sign = .publish-success\n"
         "; 等待该标志的秒数（默认 15）\n"
         "; published_wait = 15\n"
         "\n"
         "[fault]\n"
         "; 故障报告的收件人\n"
         "; recipient = dev@example.com\n";
}

bool writeConfigTemplateIfMissing() {
  const std::string path = configFilePath();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = writeAllBytes(fd, configTemplateText());
  if (::close(fd) != 0 || !written) {
    // Only the file this call created goes; a cut template would be a trap.
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace vidralo
