#pragma once
// Ending the process at once, for the one case where orderly destruction would
// pull the world from under a thread that cannot be stopped.

namespace platform {

// Flushes standard output and error, then ends the process with `exitCode`
// without running destructors or exit handlers.
[[noreturn]] void EndProcess(int exitCode);

}  // namespace platform
