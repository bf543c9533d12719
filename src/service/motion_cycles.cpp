#include "service/motion_cycles.h"

#include <cstdlib>
#include <cstring>

#include "config/configuration.h"
#include "link/machine_port.h"
#include "service/cycle_step.h"
#include "service/machine_status.h"
#include "service/shared_state.h"
#include "service/stop_indication.h"
#include "service/units.h"

namespace {
constexpr int kOverridePauseMs = 10;
constexpr std::uint8_t kAbortJobMask = 64;
constexpr std::uint8_t kClearMemoryMask = 32;
}  // namespace

bool MotionCycles::Run(int code, int status) {
    // Gated cycles act only while the machine is idle.
    struct Cycle {
        int code;
        bool gated;
        void (MotionCycles::*run)();
    };
    static constexpr Cycle kCycles[] = {
        {kMoveCycle, true, &MotionCycles::Move},
        {kExecuteCycle, true, &MotionCycles::Execute},
        {kTargetMoveCycle, true, &MotionCycles::TargetMove},
        {kSetOriginCycle, true, &MotionCycles::SetOrigin},
        {kSpindleCycle, true, &MotionCycles::Spindle},
        {kAuxLocationCycle, true, &MotionCycles::StoreAuxLocation},
        {kReplaceToolCycle, true, &MotionCycles::ReplaceTool},
        {kGetToolCycle, true, &MotionCycles::GetTool},
        {kOverrideCycle, false, &MotionCycles::Override},
        {kStopCycle, false, &MotionCycles::Stop},
        {kAuxDeviceCycle, false, &MotionCycles::AuxDevice},
        {kReadParametersCycle, false, &MotionCycles::ReadParameters},
        {kWriteParametersCycle, false, &MotionCycles::WriteParameters},
    };
    for (const Cycle& cycle : kCycles) {
        if (cycle.code != code) continue;
        if (!cycle.gated || status == kStatusIdle) {
            BeginCycleStep(m_context.state);
            (this->*cycle.run)();
        }
        return true;
    }
    return false;
}

void MotionCycles::End(int code) { EndCycle(m_context.state, code); }

int MotionCycles::NextStep() { return NextCycleStep(m_context.state); }

void MotionCycles::ClearJobStartTime() { m_context.state.jobStartTime = 0; }

bool MotionCycles::StartStep(int& step, MachinePosition& position) {
    // Read before the step counts: a step lost to a failed read could be the
    // one that raises the tool before it travels.
    if (!m_context.port.ReadMachinePosition(position)) return false;
    step = NextStep();
    ClearJobStartTime();
    return true;
}

void MotionCycles::Move() {
    int step = 0;
    MachinePosition p;
    if (!StartStep(step, p)) return;
    const SharedState& state = m_context.state;
    const MachineProfile profile = m_context.config.Profile();
    const ActiveOffsets& active = state.activeOffsets;
    const int selection = state.moveSelection.load();
    int lastStep = 0;
    switch (selection) {
        case kMoveXYOrigin:
            lastStep = 3;
            if (step == 1) p.z = profile.zLimit;
            if (step == 2) p.x = FloorCounts(active.x.load());
            if (step == 3) p.y = FloorCounts(active.y.load());
            break;
        case kMoveZOrigin: {
            lastStep = 1;
            const double z = active.z.load();
            if (step == 1) p.z = FloorCounts(z != 0.0 ? z : m_context.config.ToolOffsetValue());
            break;
        }
        case kMoveAOrigin:
            lastStep = 1;
            if (step == 1) p.a = FloorCounts(active.a.load());
            break;
        case kMoveViewPos:
            lastStep = 3;
            if (step == 1) p.z = profile.zLimit;
            if (step == 2) p.y = profile.yViewPos;
            if (step == 3) p.x = profile.xViewPos;
            break;
        default:
            if (selection < kMoveAuxLoc1 || selection > kMoveAuxLoc1 + 3) return;  // stays pending
            lastStep = 2;
            if (step == 1) p.z = profile.zLimit;
            if (step == 2) {
                const AuxLocation aux = m_context.config.AuxLocations()[selection - kMoveAuxLoc1];
                p.x = FloorCounts(aux.x);
                p.y = FloorCounts(aux.y);
            }
            break;
    }
    // A selection changed mid-cycle to one with fewer steps ends the cycle
    // rather than leaving it pending for ever.
    if (step > lastStep) {
        End(kMoveCycle);
        return;
    }
    m_context.port.MoveTo(p.x, p.y, p.z, p.a, kMoveSpeed);
    if (step == lastStep) End(kMoveCycle);
}

void MotionCycles::Execute() {
    int step = 0;
    MachinePosition p;
    if (!StartStep(step, p)) return;
    const SharedState& state = m_context.state;
    const MachineProfile profile = m_context.config.Profile();
    const ActiveOffsets& active = state.activeOffsets;
    // Text that is not a number reads as 0, as the edit box's conversion does.
    const double typed = std::strtod(state.positionEditText.Get().c_str(), nullptr);
    const std::int64_t counts = FloorCounts(typed);
    switch (state.goAxis.load()) {
        case 0:
            p.x = ClampCounts(counts + FloorCounts(active.x.load()), 0, profile.xLimit);
            break;
        case 1:
            p.y = ClampCounts(counts + FloorCounts(active.y.load()), 0, profile.yLimit);
            break;
        case 2:
            p.z = ClampCounts(counts + FloorCounts(active.z.load()), 0, profile.zLimit);
            break;
        case 3:
            p.a = ClampCounts(counts + FloorCounts(active.a.load()), INT32_MIN, INT32_MAX);
            break;
        default:
            break;
    }
    m_context.port.MoveTo(p.x, p.y, p.z, p.a, state.goSpeed.load());
    End(kExecuteCycle);
}

void MotionCycles::TargetMove() {
    NextStep();
    ClearJobStartTime();
    const TargetRecord& t = m_context.state.target;
    m_context.port.MoveTo(t.x.load(), t.y.load(), t.z.load(), t.a.load(), t.speed.load());
    End(kTargetMoveCycle);
}

void MotionCycles::SetOrigin() {
    NextStep();
    ClearJobStartTime();
    TargetRecord& t = m_context.state.target;
    const double toolOffset = m_context.config.ToolOffsetValue();
    if (toolOffset != 0.0) t.z = TruncCounts(toolOffset);
    m_context.port.SetOrigin(t.x.load(), t.y.load(), t.z.load(), t.a.load());
    m_context.config.SaveSettings();
    End(kSetOriginCycle);
}

void MotionCycles::Spindle() {
    NextStep();
    ClearJobStartTime();
    const SharedState& state = m_context.state;
    const int speed = state.spindleSwitch.load() != 0 ? state.spindleSpeed.load() : 0;
    m_context.port.SetSpindle(static_cast<std::uint32_t>(std::max(speed, 0)));
    End(kSpindleCycle);
}

void MotionCycles::Override() {
    const SharedState& state = m_context.state;
    m_context.port.SetSpindleOverride(state.spindleOverride.load());
    m_context.sleep(kOverridePauseMs);
    m_context.port.SetFeedOverride(
        static_cast<std::uint16_t>(std::clamp(state.feedOverride.load(), 0, 0xFFFF)));
    m_context.sleep(kOverridePauseMs);
    End(kOverrideCycle);
}

void MotionCycles::Stop() {
    m_context.port.PulseBits(kAbortJobMask);
    m_context.port.PulseBits(kClearMemoryMask);
    m_stopIndication.Start();
    End(kStopCycle);
}

void MotionCycles::StoreAuxLocation() {
    ClearJobStartTime();
    MachinePosition p;
    if (!m_context.port.ReadMachinePosition(p)) return;  // tried again when idle next
    const int location = m_context.state.cycleStep.load();
    if (location >= 1 && location <= 4) m_context.config.WriteAuxLocation(location, p);
    End(kAuxLocationCycle);
}

void MotionCycles::ReplaceTool() { ToolChange(kReplaceToolCycle); }

void MotionCycles::GetTool() { ToolChange(kGetToolCycle); }

void MotionCycles::ToolChange(int code) {
    // The tool put back or fetched came with the request: the current tool
    // number may change meanwhile (the dialog's "Exit" sets it to 0).
    const int tool = m_context.state.toolForCycle.load();
    if (tool < 1 || tool > kAuxLocationCount) {
        End(code);  // no place in the block to go to
        return;
    }
    int step = 0;
    MachinePosition p;
    if (!StartStep(step, p)) return;
    const std::int32_t safeZ = m_context.config.Profile().zLimit;
    if (step == 1) {
        m_context.port.SetSpindle(0);
        m_context.port.MoveTo(p.x, p.y, safeZ, p.a, kMoveSpeed);
        return;
    }
    if (step == 2) {
        // Across at the Z limit even if the raise fell short.
        const AuxLocation place = m_context.config.AuxLocations()[tool - 1];
        m_context.port.MoveTo(FloorCounts(place.x), FloorCounts(place.y), safeZ, p.a, kMoveSpeed);
    }
    End(code);
}

void MotionCycles::AuxDevice() {
    ClearJobStartTime();
    End(kAuxDeviceCycle);
}

void MotionCycles::ReadParameters() {
    ClearJobStartTime();
    ParameterRecords& records = m_context.state.parameters;
    std::lock_guard lock(records.mutex);
    // Only a complete read replaces the record: what it holds is written back
    // to the machine as the unedited bytes of the next write.
    ParameterRecord read = records.current;
    if (m_context.port.ReadBlock(kParameterBlock4, read.Block4(), kParameterBlock4Length) != 0 &&
        m_context.port.ReadBlock(kParameterBlock5, read.Block5(), kParameterBlock5Length) != 0) {
        SwapParameterFields(read);
        records.current = read;
        ++records.reads;
    }
    End(kReadParametersCycle);
}

void MotionCycles::WriteParameters() {
    ClearJobStartTime();
    ParameterRecords& records = m_context.state.parameters;
    std::lock_guard lock(records.mutex);
    records.scratch = records.edited;
    SwapParameterFields(records.scratch);
    auto differs = [&](std::size_t offset, std::size_t length) {
        return std::memcmp(records.edited.bytes.data() + offset,
                           records.current.bytes.data() + offset, length) != 0;
    };
    bool block4Written = false;
    if (differs(0, kParameterBlock4Length)) {
        const int result = m_context.port.WriteBlock(kParameterBlock4, records.scratch.Block4(),
                                                     kParameterBlock4Length);
        if (result == 0) {
            // The machine did not take block 4: the current record keeps what
            // the machine holds, so the edit still shows as a change next time.
            End(kWriteParametersCycle);
            return;
        }
        block4Written = true;
    }
    if (differs(kParameterBlock4Length, kParameterBlock5Length)) {
        m_context.port.WriteBlock(kParameterBlock5, records.scratch.Block5(),
                                  kParameterBlock5Length);
        records.current = records.edited;
    } else if (block4Written) {
        records.current = records.edited;
    }
    End(kWriteParametersCycle);
}
