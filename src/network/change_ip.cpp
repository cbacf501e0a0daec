#include "network/change_ip.h"

#include <atomic>

#include "common/pumped_wait.h"
#include "network/broadband_dialer.h"

namespace vidralo {
namespace {

constexpr int kRetries = 10;

std::atomic_bool changeRunning{false};

class RunningChange {
 public:
  RunningChange() : entered_(!changeRunning.exchange(true)) {}
  ~RunningChange() {
    if (entered_) changeRunning = false;
  }
  RunningChange(const RunningChange&) = delete;
  RunningChange& operator=(const RunningChange&) = delete;
  bool entered() const { return entered_; }

 private:
  bool entered_;
};

}  // namespace

void changeIp(ControlModel& controls, DialPlatform& platform) {
  using C = ControlId;
  BroadbandDialer dialer(platform);
  controls.setCaption(C::宽带_提示, "当前ip：" + dialer.publicIp());
  const auto attempt = [&] {
    return dialer.redial(controls.text(C::宽带_名称), controls.text(C::宽带_账号), controls.text(C::宽带_密码));
  };
  std::string address = attempt();
  int retries = 0;
  while (address.empty()) {
    if (!PumpedWait(8, 1)) return;
    address = attempt();
    // Written after every repeated attempt, also one that succeeded.
    controls.setCaption(C::宽带_提示, "重新拨号失败，8秒后继续");
    if (++retries == kRetries) break;
  }
  const char* outcome = retries == kRetries ? "自动拨号可能没有成功，请确认：" : "重播成功新ip：";
  controls.setCaption(C::宽带_提示, controls.caption(C::宽带_提示) + "\r\n" + outcome + address);
}

void changeIpBetweenAccounts(ControlModel& controls, DialPlatform& platform) {
  RunningChange change;
  if (change.entered()) {
    changeIp(controls, platform);
    return;
  }
  while (changeRunning && PumpedWait(200, 0)) {
  }
}

bool testRedialUnlessRunning(ControlModel& controls, DialPlatform& platform) {
  RunningChange change;
  if (change.entered()) changeIp(controls, platform);
  return change.entered();
}

}  // namespace vidralo
