#include "recorder/devices/adapters/system_devices.h"

#include <cstdlib>

namespace pell {

SystemLineBoxBackends::SystemLineBoxBackends(Clock& clock, const char* scenarioFolder) {
    if (!scenarioFolder) scenarioFolder = std::getenv(kScenarioVariable);
    if (!scenarioFolder || !*scenarioFolder) return;
    Scenario scenario;
    scenarioError_ = LoadScenario(scenarioFolder, scenario);
    if (!scenarioError_.empty()) return;
    box_ = std::make_unique<SimulatedLineBox>(std::move(scenario), clock);
    simulatedCapture_ = std::make_unique<CaptureWithSimulatedBox>(portAudio_, *box_);
    simulatedHid_ = std::make_unique<HidWithSimulatedBox>(hidapi_, *box_);
}

}  // namespace pell
