#include "service/units.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double kMin = std::numeric_limits<std::int32_t>::min();
constexpr double kMax = std::numeric_limits<std::int32_t>::max();

std::int32_t ToCounts(double counts) {
    if (std::isnan(counts)) return 0;
    return static_cast<std::int32_t>(std::clamp(counts, kMin, kMax));
}
}  // namespace

std::int32_t FloorCounts(double mm) { return ToCounts(std::floor(mm * 100.0)); }

std::int32_t TruncCounts(double mm) { return ToCounts(std::trunc(mm * 100.0)); }

std::int32_t ClampCounts(std::int64_t counts, std::int64_t low, std::int64_t high) {
    return static_cast<std::int32_t>(std::clamp(counts, low, high));
}
