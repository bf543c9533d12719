#pragma once
// How the windows (and the thread itself, for the detection cycle) ask the
// command thread for a cycle. Requests with a busy check start their cycle
// only when none is pending; the others replace whatever is pending.
#include <cstdint>

#include "service/shared_state.h"

class Configuration;

struct BusyCheckedRequest {
    int code;
    const char* refusal;  // the window's message when a cycle is pending (null: none)
};

inline constexpr BusyCheckedRequest kMoveRequest{
    kMoveCycle, "Can't run the Go cycle while the machine is busy!"};
inline constexpr BusyCheckedRequest kExecuteRequest{
    kExecuteCycle, "Can't run the Execute cycle while the machine is busy!"};
inline constexpr BusyCheckedRequest kToolDetectionRequest{
    kToolDetectionCycle, "Can't run the Tool Detection cycle until the machine is not busy!"};
inline constexpr BusyCheckedRequest kDetectionRequest{
    kDetectionCycle, "Can't run the Detection cycle while the machine is busy!"};
inline constexpr BusyCheckedRequest kReplaceToolRequest{
    kReplaceToolCycle, "Can't run the Replace Tool cycle while the machine is running!"};
inline constexpr BusyCheckedRequest kGetToolRequest{
    kGetToolCycle, "Can't run the Get the new Tool cycle while the machine is running!"};
// The parameter blocks are read and written only between other cycles, so
// that neither replaces a pending Stop or a cycle halfway through.
inline constexpr BusyCheckedRequest kReadParametersRequest{kReadParametersCycle, nullptr};
inline constexpr BusyCheckedRequest kWriteParametersRequest{
    kWriteParametersCycle, "Can't run the Write Parameters cycle while the machine is busy!"};

// Step 0, then the code, when no cycle is pending; false and nothing changed
// otherwise (the caller shows request.refusal).
bool RequestIfIdle(SharedState& state, const BusyCheckedRequest& request);
// The Replace Tool and Get the new Tool cycles: as RequestIfIdle, with the tool
// the cycle goes to kept with the request. It is written only when the request
// is accepted, so a refused one cannot send a pending tool cycle elsewhere.
bool RequestToolCycle(SharedState& state, const BusyCheckedRequest& request, int tool);

// The target move: fills the target record, then step 0 and code 10.
void RequestTargetMove(SharedState& state, std::int32_t x, std::int32_t y, std::int32_t z,
                       std::int32_t a, std::int32_t speed);
// The set origin cycle with the origin in counts: target record, step 0, code 11.
void RequestSetOrigin(SharedState& state, std::int32_t x, std::int32_t y, std::int32_t z,
                      std::int32_t a);
// Starts scan `kind` from its first step: step 0, then the kind. False, with
// nothing changed, while a scan runs.
bool RequestScan(SharedState& state, int kind);
// Stores the machine's X and Y as aux location n (1-4): step n, code 13.
void RequestAuxLocation(SharedState& state, int location);
// Run: starts job output of the run list from its first file (after making
// fixture offset 1 active in double-fixture mode). Nothing starts with an
// empty list, a run still going, or a first file that cannot be opened; only
// in the last case has fixture offset 1 been made active all the same.
struct RunStart {
    bool started = false;
    bool fixtureApplied = false;  // fixture offset 1 is now the active one
    explicit operator bool() const { return started; }
};
RunStart RequestRun(SharedState& state, Configuration& config);
// An override slider released: the new percentage, then the override cycle.
enum class Override { Feed, Spindle };
void RequestOverride(SharedState& state, Override which, int percent);
// Stop: ends a scan (true when one ran, so the caller can say so), asks job
// output to cancel, and requests the stop cycle.
bool RequestStopCycle(SharedState& state);
