#pragma once
// The button 开始 and the hot key Ctrl+Alt+K: both start or stop the job.
namespace vidralo {

class Program;

void toggleJob(Program& program);

}  // namespace vidralo
