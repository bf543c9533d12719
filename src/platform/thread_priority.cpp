#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool RaiseThreadPriority(int steps) {
    // On Linux the nice value belongs to the thread: PRIO_PROCESS with a
    // thread id reads and sets that thread's alone.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (nice == -1 && errno != 0) return false;
    return ::setpriority(PRIO_PROCESS, thread, nice - steps) == 0;
}

}  // namespace platform
