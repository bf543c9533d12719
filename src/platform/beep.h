#pragma once
// The beep the command thread gives on a sensor contact. The windows install a
// real sound; tests install a counter.
#include <functional>

namespace platform {

using BeepHandler = std::function<void(int frequencyHz, int durationMs)>;

void Beep(int frequencyHz, int durationMs);
// Replaces the handler; an empty handler restores the default (the terminal bell).
void SetBeepHandler(BeepHandler handler);

}  // namespace platform
