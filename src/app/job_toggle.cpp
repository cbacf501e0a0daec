#include "app/job_toggle.h"

#include "app/program.h"
#include "app/runtime/runtime.h"

namespace vidralo {

void toggleJob(Program& program) { program.runtime().toggleJob(); }

}  // namespace vidralo
