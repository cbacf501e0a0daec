// vidralo-demo.so: the simulated platform of `vidralo --demo`, in the
// program's process so that it ends with the program.
#include "app/runtime/demo_setup.h"
#include "app/runtime/front_end_modules.h"
#include "simulator/simulated_platform.h"

namespace vidralo {
namespace {

class SimulatedDemoPlatform : public DemoPlatform {
 public:
  SimulatedDemoPlatform() { platform_.start(0); }
  std::string origin() const override { return platform_.origin(); }
  std::string loginUrl(const std::string& nickname) const override { return platform_.loginUrl(nickname); }
  std::vector<sim::Publication> publications() const override { return platform_.publications(); }

 private:
  sim::SimulatedPlatform platform_;
};

std::unique_ptr<DemoPlatform> startPlatform() { return std::make_unique<SimulatedDemoPlatform>(); }

constexpr DemoModule kModule{startPlatform};

}  // namespace
}  // namespace vidralo

extern "C" const vidralo::DemoModule* vidralo_demo_module() { return &vidralo::kModule; }
