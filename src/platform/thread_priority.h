#pragma once
// Thread priority within the normal, time-shared class.

namespace platform {

// Raises the calling thread by `steps` above the process's normal priority
// (a nice value `steps` lower), never into a real-time class. False, leaving
// the thread as it is, when the system refuses (lowering nice needs privilege).
bool RaiseThreadPriority(int steps);

}  // namespace platform
