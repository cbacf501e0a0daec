#pragma once
// Lets a PumpedWait on the GUI thread keep the window alive: while it waits,
// Qt's events (paints, clicks, queued model changes) go on being served.
#include "common/pumped_wait.h"

namespace vidralo {

class GuiMessagePump final : public MessagePump {
 public:
  void processEvents(std::chrono::milliseconds maxWait) override;
};

// The pump of the GUI thread, registered for the calling thread (call it on
// the GUI thread once the QApplication exists).
void registerGuiMessagePump();

}  // namespace vidralo
