#pragma once
// How a gated cycle advances and ends itself in the service loop.
#include "service/shared_state.h"

// Pre-increments the cycle step and returns the step to take.
inline int NextCycleStep(SharedState& state) { return state.cycleStep.fetch_add(1) + 1; }

// Ends the cycle `code`, unless a request has replaced it meanwhile (a Stop,
// for example), so that the replacing request is never wiped.
inline void EndCycle(SharedState& state, int code) {
    state.cycleCode.compare_exchange_strong(code, kNoCycle, std::memory_order_acq_rel);
}
