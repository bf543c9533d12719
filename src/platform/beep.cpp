#include "platform/beep.h"

#include <unistd.h>

#include <mutex>
#include <utility>

namespace platform {

namespace {

std::mutex g_beepMutex;
BeepHandler g_beepHandler;  // empty: the terminal bell

void TerminalBell(int /*frequencyHz*/, int /*durationMs*/) {
    // A plain write: no stdio lock, nothing to flush, fine from any thread.
    ssize_t ignored = ::write(STDERR_FILENO, "\a", 1);
    (void)ignored;
}

}  // namespace

void Beep(int frequencyHz, int durationMs) {
    // The command thread beeps while the UI thread may be swapping the handler:
    // take a copy under the lock and call it outside, so a slow handler never
    // holds up SetBeepHandler and a handler may itself call SetBeepHandler.
    BeepHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_beepMutex);
        handler = g_beepHandler;
    }
    if (handler) {
        handler(frequencyHz, durationMs);
    } else {
        TerminalBell(frequencyHz, durationMs);
    }
}

void SetBeepHandler(BeepHandler handler) {
    std::lock_guard<std::mutex> lock(g_beepMutex);
    g_beepHandler = std::move(handler);
}

}  // namespace platform
