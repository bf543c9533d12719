#include "platform/system_clock.h"

#include <chrono>
#include <thread>

namespace platform {

void SleepMs(int milliseconds) {
    // Sleep(0) on the home platform gives up the rest of the time slice.
    if (milliseconds <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::time_t CalendarTime() { return std::time(nullptr); }

std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace platform
