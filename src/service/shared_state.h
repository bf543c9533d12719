#pragma once
// The values the UI thread and the command thread share. Integers are atomics;
// text and records are guarded by a mutex. A requester fills what a cycle
// needs, then writes the step, then the code (release); the thread reads the
// code first (acquire), so it never sees a new code with an old step or input.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

#include "link/machine_position.h"
#include "link/parameter_record.h"
#include "service/run_list.h"

// Cycle codes of the command thread.
enum CycleCode : int {
    kNoCycle = 0,
    kToolDetectionCycle = 1,
    kMoveCycle = 2,
    kReplaceToolCycle = 4,
    kGetToolCycle = 5,
    kDetectionCycle = 6,
    kSpindleCycle = 7,
    kOverrideCycle = 8,
    kExecuteCycle = 9,
    kTargetMoveCycle = 10,
    kSetOriginCycle = 11,
    kStopCycle = 12,
    kAuxLocationCycle = 13,
    kAuxDeviceCycle = 14,
    kReadParametersCycle = 15,
    kWriteParametersCycle = 16,
};

// Job states.
enum JobState : int { kJobIdle = 0, kJobRunning = 1, kJobCancel = 3 };

// Scan kinds.
enum ScanKind : int { kNoScan = 0, kRunoutScan = 1, kYCenterScan = 2, kToolSensorScan = 3 };

// Move To list selections.
enum MoveSelection : int {
    kMoveXYOrigin = 0,
    kMoveZOrigin = 1,
    kMoveAOrigin = 2,
    kMoveViewPos = 3,
    kMoveAuxLoc1 = 4,  // 4-7: Aux. Loc. 1-4
};

// A value that both threads read and write whole, under its own lock.
template <class T>
class Guarded {
public:
    T Get() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void Set(const T& value) {
        std::lock_guard lock(m_mutex);
        m_value = value;
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};

// Target of the target move and set origin cycles.
struct TargetRecord {
    std::atomic<std::int32_t> x{0}, y{0}, z{0}, a{0};
    std::atomic<std::int32_t> speed{0};
};

// Work offset currently applied, in mm.
struct ActiveOffsets {
    std::atomic<double> x{0.0}, y{0.0}, z{0.0}, a{0.0};
};

// The three parameter records: as last read from or written to the machine
// (host order), as edited by the calibration settings, and scratch for sending.
struct ParameterRecords {
    std::mutex mutex;
    ParameterRecord current;
    ParameterRecord edited;
    ParameterRecord scratch;
    // Reads of both blocks the command thread has completed: a window that
    // asked for a read knows from this that `current` holds the machine's values.
    std::uint32_t reads = 0;
};

class SharedState {
public:
    // Requests.
    std::atomic<int> cycleCode{kNoCycle};
    std::atomic<int> cycleStep{0};
    std::atomic<int> jobState{kJobIdle};
    std::atomic<int> scanKind{kNoScan};
    std::atomic<int> scanStep{0};
    // Set by Stop until the thread has sent its pulses: a request that does not
    // wait for a free machine (an override, a jog, a fixture radio) may put its
    // own code over code 12 meanwhile, and the Stop must not be lost to it.
    std::atomic<bool> stopRequested{false};

    // Results of polling.
    std::atomic<int> lastStatus{0};
    std::atomic<std::uint32_t> commandsDone{0};
    std::atomic<std::time_t> jobStartTime{0};
    std::atomic<double> elapsedSeconds{0.0};
    std::atomic<bool> closingAcknowledged{false};
    // Documents the machine's print queue refused or lost part of (each ends its run).
    std::atomic<int> filesNotSent{0};

    // Operator settings of the main window and the pages.
    std::atomic<std::uint16_t> spindleOverride{100};
    std::atomic<int> feedOverride{100};
    std::atomic<int> spindleSwitch{0};
    std::atomic<int> spindleSpeed{10000};
    std::atomic<int> moveSelection{kMoveXYOrigin};
    std::atomic<int> goAxis{0};  // 0 X, 1 Y, 2 Z, 3 A
    std::atomic<int> goSpeed{500};
    // The tool the Replace Tool or Get the new Tool cycle goes to (1..4),
    // written with the request that starts it.
    std::atomic<int> toolForCycle{0};
    // The tool changer's "Open Spindle" (1) and "Close Spindle" (2), with the
    // word each clears beside it. Recorded only: nothing acts on them yet.
    std::atomic<int> spindleClampRequest{0};
    std::atomic<int> spindleClampWord{0};

    // Held by requests with a busy check while they test and set the code.
    std::mutex requestMutex;

    TargetRecord target;
    ActiveOffsets activeOffsets;
    RunList runList;
    ParameterRecords parameters;

    Guarded<MachinePosition> lastPosition;
    Guarded<std::string> closingReason;
    Guarded<std::string> positionEditText;  // the main window's position edit (1019)

    // Starts a cycle: the step first, then the code, so the thread never sees
    // the new code with a stale step.
    void SetCycle(int code, int step) {
        cycleRequests.fetch_add(1, std::memory_order_acq_rel);
        cycleStep.store(step, std::memory_order_relaxed);
        cycleCode.store(code, std::memory_order_release);
    }
    // Sets the code alone (requests that leave the step as it is).
    void SetCycleCode(int code) {
        cycleRequests.fetch_add(1, std::memory_order_acq_rel);
        cycleCode.store(code, std::memory_order_release);
    }
    // Counted before each request's code is stored: the thread tells from it
    // whether a request came while a cycle's step ran (see cycle_step.h).
    std::atomic<std::uint32_t> cycleRequests{0};
    std::uint32_t cycleRequestsSeen = 0;  // the command thread's own
    void EndCycle() { cycleCode.store(kNoCycle, std::memory_order_release); }
    // A Stop not yet served by the thread.
    bool StopRequested() const {
        return stopRequested.load(std::memory_order_acquire) ||
               cycleCode.load(std::memory_order_acquire) == kStopCycle;
    }
};
