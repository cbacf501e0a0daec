#pragma once
// The maker's notices on the start window: the announcement line of
// "gonggao.json" and one of seventeen advertisement pictures, both from the
// primary update mirror.
#include "online/start_window_view.h"

namespace vidralo {

// Announcement into status bar part 2, a random picture "tool/adN.gif" into
// 图片框_广告 and the advertisement link "ad1url" into its tag. Without a
// primary mirror nothing is asked and nothing changes; an unreadable notice
// file leaves part 2 as it is.
void loadNotices(StartWindowView& view);

}  // namespace vidralo
