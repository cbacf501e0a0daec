#pragma once
// The started program with its start window against the simulated online
// services, in a home folder of its own (configuration folder, desktop), so
// that the disclaimer marker and desktop entries of the tests stay there.
#include <string>

#include "app_fixture.h"
#include "app/window/online_startup.h"
#include "app/window/start_window.h"
#include "services_sim/simulated_services.h"
#include "support/fake_dialogs.h"
#include "support/isolated_home.h"
#include "support/run_log_text.h"

class QLabel;

namespace vidralo::test {

class OnlineProgram : public StartedProgram {
 protected:
  void SetUp() override;
  void TearDown() override;

  // config.ini with every service of the simulator; `extra` is appended.
  void configureAllHosts(const std::string& extra = {});
  // The index served as vidralo/index.json.
  void serveIndex(const std::string& version, const std::string& fileName, const std::string& extraKeys = {});
  // The marker of an accepted disclaimer, so that nothing is asked.
  void acceptDisclaimer();
  // Creates the program, opens the start window, then runs the main
  // window's creation, as start-up does.
  void startWithStartWindow();

  StartWindow& startWindow() { return *program->startWindow(); }
  QLabel* startLabel(const char* name);
  std::string statusPart(int part);
  std::string runLog();
  // Waits until every thread of the start sequence is done.
  bool quotationShown();

  IsolatedHome home;
  sim::SimulatedServices services;
  FakeDialogs startDialogs;
};

}  // namespace vidralo::test
