#include "platform/beep.h"

#include <unistd.h>

#include "platform/replaceable_handler.h"

namespace platform {

namespace {

void TerminalBell(int /*frequencyHz*/, int /*durationMs*/) {
    // A plain write: no stdio lock, nothing to flush, fine from any thread.
    ssize_t ignored = ::write(STDERR_FILENO, "\a", 1);
    (void)ignored;
}

ReplaceableHandler<BeepHandler>& Handler() {
    static ReplaceableHandler<BeepHandler> handler(TerminalBell);
    return handler;
}

}  // namespace

void Beep(int frequencyHz, int durationMs) { Handler().Call(frequencyHz, durationMs); }

void SetBeepHandler(BeepHandler handler) { Handler().Set(std::move(handler)); }

}  // namespace platform
