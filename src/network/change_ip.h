#pragma once
// The IP change between accounts and the redial test of button 按钮23: hang
// up, redial, and report in 宽带_提示. The boxes 宽带_名称, 宽带_账号 and
// 宽带_密码 are read afresh before every attempt; up to eleven attempts with
// 8-second waits between them; the caller goes on in every case. A stop
// request ends the run at its next wait.
#include "controls/control_model.h"
#include "network/dial_platform.h"

namespace vidralo {

void changeIp(ControlModel& controls, DialPlatform& platform);

// Only one IP change runs in the process at a time.
// The job's change: when another is running, waits for it to end instead of
// starting a second one.
void changeIpBetweenAccounts(ControlModel& controls, DialPlatform& platform);
// The redial test: starts nothing while another change runs; false then.
bool testRedialUnlessRunning(ControlModel& controls, DialPlatform& platform);

}  // namespace vidralo
