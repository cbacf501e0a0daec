#include "app/window/window_layout.h"

#include <QFontMetrics>
#include <array>

namespace vidralo {
namespace {

struct Placement {
  ControlId id;
  QRect rect;
};

using C = ControlId;

constexpr int kMinimumBlankRun = 3;

// x, y, width, height inside the parent.
const std::array kPlacements{
    // Top row and the two halves of the client area.
    Placement{C::开始, {616, 8, 64, 40}},
    Placement{C::按钮1, {849, 8, 72, 40}},
    Placement{C::按钮26, {928, 8, 72, 40}},
    Placement{C::选择夹1, {8, 11, 592, 477}},
    Placement{C::分组框6, {608, 64, 408, 432}},

    // 主界面: the account editor.
    Placement{C::分组框2, {6, 4, 574, 146}},
    Placement{C::标签1, {10, 24, 120, 24}},
    Placement{C::编辑框_视频素材目录, {130, 24, 340, 24}},
    Placement{C::按钮8, {478, 23, 86, 26}},
    Placement{C::标签8, {10, 56, 120, 24}},
    Placement{C::编辑框_账号标识, {130, 56, 110, 24}},
    Placement{C::按钮14, {248, 55, 118, 26}},
    Placement{C::按钮_删除本账号, {372, 55, 94, 26}},
    Placement{C::按钮_修改账号信息, {472, 55, 94, 26}},
    Placement{C::选择框_单独设置, {10, 88, 500, 24}},
    Placement{C::标签14, {10, 116, 556, 24}},
    // 主界面: task control and the publishing settings.
    Placement{C::分组框_控制, {6, 154, 574, 56}},
    Placement{C::选择框_切换账号, {10, 22, 556, 26}},
    Placement{C::标签_耗时, {440, 214, 140, 16}},
    Placement{C::选择夹2, {6, 216, 574, 226}},

    // 选择夹2 / 发布设置
    Placement{C::标签11, {10, 12, 76, 26}},
    Placement{C::组合框_一级分类, {88, 12, 150, 26}},
    Placement{C::组合框_二级分类, {246, 12, 150, 26}},
    Placement{C::按钮4, {406, 11, 90, 28}},
    Placement{C::选择框_强制发布, {10, 52, 300, 24}},
    // 选择夹2 / 封面图选项
    Placement{C::单选框_系统封面, {10, 8, 300, 24}},
    Placement{C::单选框_系统封面_随机, {10, 36, 300, 24}},
    Placement{C::单选框_本地封面, {10, 64, 500, 24}},
    Placement{C::单选框_本地随机封面, {10, 92, 500, 24}},
    Placement{C::编辑框_随机封面目录, {30, 120, 500, 24}},
    // 选择夹2 / 话题设置
    Placement{C::选择框2, {10, 12, 100, 24}},
    Placement{C::编辑框_固定标签, {112, 12, 440, 24}},
    Placement{C::编辑框_混合标签个数, {112, 46, 80, 24}},
    // 选择夹2 / 视频标题设置
    Placement{C::描述_文件名, {10, 6, 150, 24}},
    Placement{C::描述_标题模板, {170, 6, 170, 24}},
    Placement{C::描述_标题库, {350, 6, 170, 24}},
    Placement{C::标签9, {10, 32, 540, 22}},
    Placement{C::编辑框_简介模板内容, {10, 56, 548, 130}},
    // 选择夹2 / 上传视频设置
    Placement{C::选择框_读取子文件夹, {10, 12, 548, 24}},
    Placement{C::单选框_选择视频_随机, {10, 44, 300, 24}},
    Placement{C::单选框_选择视频_顺序, {10, 72, 300, 24}},

    // 设置
    Placement{C::分组框7, {6, 4, 574, 88}},
    Placement{C::单选框_删除, {10, 24, 200, 24}},
    Placement{C::单选框_移动, {10, 54, 130, 24}},
    Placement{C::编辑框_使用过视频目录, {142, 54, 330, 24}},
    Placement{C::按钮9, {480, 53, 84, 26}},
    Placement{C::分组框3, {6, 98, 574, 344}},
    Placement{C::标签2, {10, 26, 400, 26}},
    Placement{C::选择框_自动循环, {10, 60, 556, 26}},
    Placement{C::选择框_自动放弃, {10, 94, 556, 26}},
    Placement{C::选择框_2账号间隔, {10, 128, 556, 26}},
    Placement{C::选择框_禁止指定时间, {10, 162, 556, 26}},
    Placement{C::编辑框_禁止指定时间, {10, 192, 554, 140}},

    // 浏览器
    Placement{C::分组框15, {6, 4, 574, 438}},
    Placement{C::标签7, {10, 26, 300, 22}},
    Placement{C::编辑框_google, {10, 50, 554, 24}},
    Placement{C::标签3, {10, 84, 554, 92}},
    Placement{C::按钮_手动初始化, {10, 186, 130, 32}},
    Placement{C::按钮11, {150, 186, 150, 32}},
    Placement{C::标签_版本, {310, 188, 254, 28}},
    Placement{C::标签15, {10, 232, 554, 24}},

    // 换ip
    Placement{C::分组框9, {6, 4, 574, 438}},
    Placement{C::选择框_换ip, {10, 26, 400, 24}},
    Placement{C::标签6, {10, 62, 44, 24}},
    Placement{C::宽带_名称, {56, 62, 220, 24}},
    Placement{C::标签13, {10, 96, 44, 24}},
    Placement{C::宽带_账号, {56, 96, 220, 24}},
    Placement{C::标签12, {10, 130, 44, 24}},
    Placement{C::宽带_密码, {56, 130, 220, 24}},
    Placement{C::按钮23, {10, 168, 100, 32}},
    Placement{C::宽带_提示, {120, 170, 444, 28}},
    Placement{C::标签10, {10, 214, 554, 96}},

    // 自定义标题库
    Placement{C::标签5, {10, 8, 300, 22}},
    Placement{C::编辑框_标题库, {10, 32, 340, 408}},
    Placement{C::选择框_随机, {362, 32, 200, 24}},
    Placement{C::标签17, {362, 64, 214, 200}},

    // 分组框6: the account list.
    Placement{C::超级列表框1, {8, 22, 392, 322}},
    Placement{C::按钮_读取所有账号, {8, 352, 104, 30}},
    Placement{C::按钮_保存账号, {120, 352, 90, 30}},
    Placement{C::标签4, {220, 354, 184, 26}},
    Placement{C::按钮2, {8, 392, 120, 30}},
    Placement{C::选择框_获取详细信息, {140, 395, 200, 24}},
};

const std::array kGapEdits{
    GapEdit{C::编辑框_单账号上传, C::选择框_切换账号, 0},
    GapEdit{C::编辑框_封面图序列, C::单选框_系统封面, 0},
    GapEdit{C::编辑框_视频间隔, C::标签2, 0},
    GapEdit{C::编辑框_视频间隔1, C::标签2, 1},
    GapEdit{C::编辑框_循环间隔, C::选择框_自动循环, 0},
    GapEdit{C::放弃秒, C::选择框_自动放弃, 0},
    GapEdit{C::编辑框_账号间隔, C::选择框_2账号间隔, 0},
    GapEdit{C::编辑框_账号序列, C::标签4, 0},
};

}  // namespace

std::optional<QRect> controlGeometry(ControlId id) {
  for (const Placement& placement : kPlacements)
    if (placement.id == id) return placement.rect;
  return std::nullopt;
}

std::span<const GapEdit> gapEdits() { return kGapEdits; }

std::optional<std::pair<int, int>> blankRun(const QString& caption, int gap, const QFontMetrics& metrics) {
  int found = 0;
  for (qsizetype start = 0; start < caption.size();) {
    if (caption[start] != u' ') {
      ++start;
      continue;
    }
    qsizetype end = start;
    while (end < caption.size() && caption[end] == u' ') ++end;
    if (end - start >= kMinimumBlankRun && found++ == gap)
      return std::pair{metrics.horizontalAdvance(caption.left(start)), metrics.horizontalAdvance(caption.left(end))};
    start = end;
  }
  return std::nullopt;
}

}  // namespace vidralo
