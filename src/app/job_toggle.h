#pragma once
// The button 开始 and the hot key Ctrl+Alt+K. Until the publishing job is
// attached here, a toggle only switches the button between "开始" and "停止".
namespace vidralo {

class Program;

void toggleJob(Program& program);

}  // namespace vidralo
