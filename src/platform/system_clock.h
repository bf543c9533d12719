#pragma once
// Sleeping, calendar time and a steady millisecond clock.
#include <cstdint>
#include <ctime>

namespace platform {

void SleepMs(int milliseconds);
std::time_t CalendarTime();
// Milliseconds of a monotonic clock; only differences are meaningful.
std::int64_t SteadyMs();

}  // namespace platform
