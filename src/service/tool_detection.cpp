#include "service/tool_detection.h"

#include <iterator>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "service/control_ids.h"
#include "service/cycle_step.h"
#include "service/display.h"
#include "service/log_file.h"
#include "service/machine_status.h"
#include "service/probe_step.h"
#include "service/shared_state.h"

namespace {

using namespace probe;
using enum probe::Axis;

struct ToolDetectionStep {
    Step step;
    const char* log = nullptr;
};

// Over the sensor at a safe height, down to where probing starts, then a fast
// probe, a lift and a slow probe for an exact contact. Step 8 sets the origin.
constexpr ToolDetectionStep kToolDetectionSteps[] = {
    {Move(kSafeZ), "Servicing Tool Detection...Step1\n"},
    {Move(FromProfile(X, &MachineProfile::toolSensorLocX))},
    {Move(FromProfile(Y, &MachineProfile::toolSensorLocY))},
    {Move(FromProfile(Z, &MachineProfile::toolSensorLocZ))},
    {Probe(Set(Z, kProbeTargetZ), 50), "Servicing Tool Detection...Step 5\n"},
    {Move(Add(Z, kBackOff), 50)},
    {Probe(Set(Z, kProbeTargetZ), 1)},
};
constexpr int kSetOriginStep = 8;

// The detection cycle; it ends at step 4.
constexpr Step kDetectionSteps[] = {
    Probe(Set(Z, kProbeTargetZ), 120),
    Move(Add(Z, kBackOff), 50),
    Probe(Set(Z, kProbeTargetZ), 10),
};

}  // namespace

bool ToolDetection::Run(int code, int status) {
    const bool idle = status == kStatusIdle;
    if (idle && (code == kToolDetectionCycle || code == kDetectionCycle))
        BeginCycleStep(m_context.state);
    switch (code) {
        case kToolDetectionCycle:
            if (idle)
                DetectTool();
            else
                m_context.log.Write(kBusyLog);
            return true;
        case kDetectionCycle:
            if (idle) Detect();
            return true;
        default:
            return false;
    }
}

void ToolDetection::DetectTool() {
    SharedState& state = m_context.state;
    // Without the cable the machine cannot feel the sensor: nothing moves.
    if (!m_context.port.IsSensorConnected()) {
        EndCycle(state, kToolDetectionCycle);
        return;
    }
    // Read before the step counts: a lost step could be the raise before a travel.
    MachinePosition position;
    if (!m_context.port.ReadMachinePosition(position)) return;
    const int step = NextCycleStep(state);
    state.jobStartTime = 0;
    const MachineProfile profile = m_context.config.Profile();
    if (step >= 1 && step <= static_cast<int>(std::size(kToolDetectionSteps))) {
        const ToolDetectionStep& s = kToolDetectionSteps[step - 1];
        if (s.log) m_context.log.Write(s.log);
        Perform(m_context.port, s.step, position, profile);
        return;
    }
    const bool measured = step == kSetOriginStep && SetToolOrigin(position);
    // Off the sensor whatever happened, then done.
    Perform(m_context.port, Move(kSafeZ), position, profile);
    EndCycle(state, kToolDetectionCycle);
    if (step == kSetOriginStep) m_context.log.Write(measured ? kFinishedLog : kNoOriginLog);
}

bool ToolDetection::SetToolOrigin(const MachinePosition& contact) {
    MachinePosition origin;
    if (!m_context.port.ReadOrigin(origin)) {
        // X, Y and A of the origin are unknown, so no origin is sent and the
        // measured tool is not kept: the offsets stay as they were.
        m_context.display.SetText(Window::Main, IDC_STATUS, kNoOriginText);
        return false;
    }
    Configuration& config = m_context.config;
    const std::int32_t z = Offset(contact.z, config.SensorOffset());
    config.SetToolOffsetValue(z * kMillimetresPerCount);
    m_context.port.SetOrigin(origin.x, origin.y, z, origin.a);
    m_context.state.activeOffsets.z = 0.0;
    for (int fixture = 0; fixture < kFixtureOffsetCount; ++fixture)
        config.SetFixtureZ(fixture, 0.0);
    config.SaveSettings();
    return true;
}

void ToolDetection::Detect() {
    SharedState& state = m_context.state;
    MachinePosition position;
    if (!m_context.port.ReadMachinePosition(position)) return;
    const int step = NextCycleStep(state);
    state.jobStartTime = 0;
    if (step >= 1 && step <= static_cast<int>(std::size(kDetectionSteps))) {
        Perform(m_context.port, kDetectionSteps[step - 1], position, m_context.config.Profile());
        return;
    }
    EndCycle(state, kDetectionCycle);
}
