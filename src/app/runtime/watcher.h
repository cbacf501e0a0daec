#pragma once
// A front end that only watches a run (the status page). The front end that
// runs the job starts it through this hook once its controls and runtime
// exist, so the two never include each other; main.cpp composes them.
#include <functional>
#include <memory>

#include "controls/control_model.h"

namespace vidralo {

class Runtime;

// Watching ends when the handle is destroyed: destroy it before the controls
// and the runtime it was given.
class WatchHandle {
 public:
  virtual ~WatchHandle() = default;
};

using StartWatching = std::function<std::unique_ptr<WatchHandle>(ControlModel& controls, const Runtime& runtime)>;

}  // namespace vidralo
