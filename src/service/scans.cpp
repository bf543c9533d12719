#include "service/scans.h"

#include <cmath>
#include <span>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "service/control_ids.h"
#include "service/display.h"
#include "service/probe_step.h"
#include "service/requests.h"
#include "service/shared_state.h"
#include "service/text_format.h"

using namespace probe;
using enum probe::Axis;

enum class ScanKeep : std::uint8_t { None, FirstYEdge, SecondYEdge, ReferenceZ, ToolSensorZ };

// A value a step shows before it moves: an axis of the position just read
// (where the last probe or touch stopped) plus a correction.
struct ScanReading {
    int control = 0;  // 0: the step shows nothing
    Axis axis = Z;
    std::int32_t add = 0;
    ScanKeep keep = ScanKeep::None;
};

// What a step does besides reading, moving and probing.
enum class ScanSpecial : std::uint8_t {
    None,
    YFromOrigin,   // before moving: Y is the origin's Y
    SensorOffset,  // before moving: sensor offset = reference Z - tool sensor Z, saved
    YCenter,       // before moving: the center of the two edges; after: it becomes the origin's Y
    Pause,         // after moving: the Pause boxes, the scan waiting meanwhile
};

struct ScanStep {
    probe::Step go;
    ScanReading reading{};
    ScanSpecial special = ScanSpecial::None;
    bool last = false;
};

namespace {

constexpr std::int32_t kRunoutLift = 200;
// The sensor bar's radius plus the tool's: a Y contact is this far from the bar's center.
constexpr std::int32_t kEdgeOffset = 1159;
// The bar's radius: its top is this far above its center.
constexpr std::int32_t kHeightCorrection = 1000;
constexpr std::int32_t kYApproach = 1500;
constexpr std::int32_t kSecondColumn = 3000;  // to the left of the rotary axis X
constexpr std::int32_t kEdgeProbeZ = 6000;
constexpr int kEdgeApproachSpeed = 1500;
constexpr int kEdgeProbeSpeed = 50;
constexpr std::int32_t kEdgeStepBack = 500;

constexpr ScanStep Do(probe::Step go) { return {go}; }
constexpr ScanStep kTouchStep = Do(kTouch);
constexpr ScanStep Show(ScanReading reading, probe::Step go) { return {go, reading}; }
constexpr ScanStep With(ScanSpecial special, ScanStep step) {
    step.special = special;
    return step;
}
constexpr ScanStep Last(ScanStep step) {
    step.last = true;
    return step;
}

constexpr Change kRotaryX = FromProfile(X, &MachineProfile::rotAxisLocX);
constexpr Change kRotaryY = FromProfile(Y, &MachineProfile::rotAxisLocY);
constexpr Change kYLimit = FromProfile(Y, &MachineProfile::yLimit);

constexpr ScanStep kRunoutSteps[] = {
    Do(Move(kSafeZ)),
    Do(Move(Set(A, 0))),
    Do(Move(kRotaryX)),
    Do(Move(kRotaryY)),
    kTouchStep,
    Show({IDC_SCAN_0}, Move(Add(Z, kRunoutLift))),
    Do(Move(Set(A, 9000))),
    kTouchStep,
    Show({IDC_SCAN_90}, Move(Add(Z, kRunoutLift))),
    Do(Move(Set(A, 18000))),
    kTouchStep,
    Show({IDC_SCAN_180}, Move(Add(Z, kRunoutLift))),
    Do(Move(Set(A, 27000))),
    kTouchStep,
    Show({IDC_SCAN_270}, Move(Add(Z, kRunoutLift))),
    Do(Move(kSafeZ)),
    Last(Do(Move(Set(A, 0)))),
};

// Probes the bar's front edge (towards +Y) and its back edge (towards -Y) at
// the rotary axis X and again one column to the left; only the two at the
// rotary axis X make the center.
constexpr ScanStep kYCenterSteps[] = {
    Do(Move(kSafeZ)),
    Do(Move(Set(A, 0))),
    Do(Move(kRotaryX)),
    Do(Move(FromProfile(Y, &MachineProfile::rotAxisLocY, -kYApproach))),
    Do(Move(Set(Z, kEdgeProbeZ), kEdgeApproachSpeed)),
    Do(Probe(kYLimit, kEdgeProbeSpeed)),
    Show({IDC_RIGHT_FRONT, Y, kEdgeOffset, ScanKeep::FirstYEdge}, Move(Add(Y, -kEdgeStepBack))),
    Do(Move(Add(X, -kSecondColumn))),
    Do(Probe(kYLimit, kEdgeProbeSpeed)),
    Show({IDC_LEFT_FRONT, Y, kEdgeOffset}, Move(Add(Y, -kEdgeStepBack))),
    Do(Move(kSafeZ)),
    Do(Move(FromProfile(Y, &MachineProfile::rotAxisLocY, kYApproach))),
    Do(Move(Add(X, kSecondColumn))),
    Do(Move(Set(Z, kEdgeProbeZ), kEdgeApproachSpeed)),
    Do(Probe(Set(Y, 0), kEdgeProbeSpeed)),
    Show({IDC_RIGHT_BACK, Y, -kEdgeOffset, ScanKeep::SecondYEdge}, Move(Add(Y, kEdgeStepBack))),
    Do(Move(Add(X, -kSecondColumn))),
    Do(Probe(Set(Y, 0), kEdgeProbeSpeed)),
    Show({IDC_LEFT_BACK, Y, -kEdgeOffset}, Move(Add(Y, kEdgeStepBack))),
    Do(Move(kSafeZ)),
    Last(With(ScanSpecial::YCenter, Do(Move({})))),
};

// Touches the top of the bar at the origin's Y (the Y center found before) in
// two columns, waits while the operator moves the sensor to the tool sensor,
// then touches the tool sensor.
constexpr ScanStep kToolSensorSteps[] = {
    Do(Move(kSafeZ)),
    Do(Move(kRotaryX)),
    Do(Move(kRotaryX)),
    With(ScanSpecial::YFromOrigin, Do(Move({}))),
    kTouchStep,
    Show({IDC_REF_RIGHT, Z, -kHeightCorrection, ScanKeep::ReferenceZ}, Move(kSafeZ)),
    Do(Move(Add(X, -kSecondColumn))),
    kTouchStep,
    With(ScanSpecial::Pause, Show({IDC_REF_LEFT, Z, -kHeightCorrection}, Move(kSafeZ))),
    Do(Move(FromProfile(X, &MachineProfile::toolSensorLocX))),
    Do(Move(FromProfile(Y, &MachineProfile::toolSensorLocY))),
    Do(Probe(Set(Z, kProbeTargetZ), 120)),
    Do(Move(Add(Z, kBackOff), 120)),
    Do(Probe(Set(Z, kProbeTargetZ), 10)),
    Last(With(ScanSpecial::SensorOffset,
              Show({IDC_TOOL_SENSOR, Z, 0, ScanKeep::ToolSensorZ}, Move(kSafeZ)))),
};

std::span<const ScanStep> StepsOf(int kind) {
    switch (kind) {
        case kRunoutScan:
            return kRunoutSteps;
        case kYCenterScan:
            return kYCenterSteps;
        case kToolSensorScan:
            return kToolSensorSteps;
        default:
            return {};
    }
}

std::string Millimetres(std::int32_t counts) { return FormatText("%.2f", counts * 0.01); }

}  // namespace

bool Scans::Step() {
    SharedState& state = m_context.state;
    const int kind = state.scanKind.load(std::memory_order_acquire);
    // Read before the step counts: a lost step could be the raise before a travel.
    MachinePosition position;
    if (!m_context.port.ReadMachinePosition(position)) return false;
    const int step = state.scanStep.fetch_add(1) + 1;
    const std::span<const ScanStep> steps = StepsOf(kind);
    if (step < 1 || step > static_cast<int>(steps.size())) {
        Finish(kind, nullptr);  // no such scan or step: nothing left to do
        return true;
    }
    Take(kind, steps[step - 1], position);
    return true;
}

void Scans::Take(int kind, const ScanStep& step, MachinePosition position) {
    if (step.reading.control != 0) ShowReading(step.reading, position);
    std::int32_t center = 0;
    switch (step.special) {
        case ScanSpecial::SensorOffset:
            KeepSensorOffset();
            break;
        case ScanSpecial::YCenter:
            center = ShowYCenter();
            break;
        case ScanSpecial::YFromOrigin: {
            MachinePosition origin;
            if (!m_context.port.ReadOrigin(origin)) {
                Finish(kind, kNoOriginText);  // no Y to go to
                return;
            }
            position.y = origin.y;
            break;
        }
        default:
            break;
    }
    Apply(step.go.change, position, m_context.config.Profile());
    if (step.go.motion == Motion::Touch)
        Touch();
    else
        Go(m_context.port, position, step.go);
    if (step.special == ScanSpecial::YCenter && !SetOriginY(center)) {
        Finish(kind, kNoOriginText);
        return;
    }
    if (step.special == ScanSpecial::Pause) Pause(kind);
    if (step.last) Finish(kind, kCompleteText);
}

void Scans::ShowReading(const ScanReading& reading, const MachinePosition& position) {
    const std::int32_t value = Offset(Coordinate(position, reading.axis), reading.add);
    if (std::atomic<std::int32_t>* kept = Kept(reading.keep)) kept->store(value);
    m_context.display.SetText(Window::Calibration, reading.control, Millimetres(value));
}

std::atomic<std::int32_t>* Scans::Kept(ScanKeep keep) {
    switch (keep) {
        case ScanKeep::FirstYEdge:
            return &m_results.firstYEdge;
        case ScanKeep::SecondYEdge:
            return &m_results.secondYEdge;
        case ScanKeep::ReferenceZ:
            return &m_results.referenceZ;
        case ScanKeep::ToolSensorZ:
            return &m_results.toolSensorZ;
        case ScanKeep::None:
            break;
    }
    return nullptr;
}

void Scans::Touch() {
    SharedState& state = m_context.state;
    // A request that got in since the loop saw no cycle goes first; the touch
    // is taken again once that has ended, so the next step never reads a
    // position that no touch produced.
    if (!RequestIfIdle(state, kDetectionRequest)) state.scanStep.fetch_sub(1);
}

void Scans::KeepSensorOffset() {
    const std::int32_t offset =
        Offset(m_results.referenceZ.load(), -std::int64_t{m_results.toolSensorZ.load()});
    m_context.config.SetSensorOffset(offset);
    m_context.display.SetText(Window::Calibration, IDC_ZA, FormatText("%d", offset));
    m_context.config.SaveSettings();
}

std::int32_t Scans::ShowYCenter() {
    const double sum = double(m_results.firstYEdge.load()) + m_results.secondYEdge.load();
    // Halfway between the edges, a half count rounding up.
    const auto center = static_cast<std::int32_t>(std::floor(sum * 0.5 + 0.5));
    m_context.display.SetText(Window::Calibration, IDC_NOMINAL, Millimetres(center));
    m_context.display.SetYCenter(center);
    return center;
}

bool Scans::SetOriginY(std::int32_t center) {
    MachinePosition origin;
    if (!m_context.port.ReadOrigin(origin)) return false;
    m_context.port.SetOrigin(origin.x, center, origin.z, origin.a);
    m_context.state.activeOffsets.y = center * 0.01;
    return true;
}

void Scans::Pause(int kind) {
    SharedState& state = m_context.state;
    // No scan while the boxes are up; a Stop that got in first has ended it.
    int expected = kind;
    if (!state.scanKind.compare_exchange_strong(expected, kNoScan)) return;
    if (!m_context.display.ShowSensorPauses(m_stop)) return;  // shutting down
    // A Stop pressed while the boxes were up ends the scan for good.
    if (state.StopRequested()) return;
    // A scan the operator started meanwhile goes on instead (RequestScan holds
    // the same lock while it sets step and kind).
    std::lock_guard lock(state.requestMutex);
    expected = kNoScan;
    state.scanKind.compare_exchange_strong(expected, kind, std::memory_order_acq_rel);
}

void Scans::Finish(int kind, const char* text) {
    int expected = kind;
    if (!m_context.state.scanKind.compare_exchange_strong(expected, kNoScan)) return;
    if (text) m_context.display.SetText(Window::Calibration, IDC_SCAN_STATUS, text);
}
