#include "app/window/gui_message_pump.h"

#include <QCoreApplication>
#include <QTimer>

namespace vidralo {

void GuiMessagePump::processEvents(std::chrono::milliseconds maxWait) {
  if (maxWait.count() <= 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  // The timer's own event ends the wait for more events when nothing else
  // arrives in time.
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(maxWait);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void registerGuiMessagePump() {
  static GuiMessagePump pump;
  registerMessagePump(&pump);
}

}  // namespace vidralo
