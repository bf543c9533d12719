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

// mm × 100, with a product that lies within a hair of a whole count taken as
// that count: 1.15 × 100 is 114.99999999999999 in binary, and cutting it off
// would lose a hundredth from every value written with two decimals.
double HundredthsOf(double mm) {
    const double counts = mm * 100.0;
    const double nearest = std::round(counts);
    return std::abs(counts - nearest) < 1e-6 ? nearest : counts;
}
}  // namespace

std::int32_t FloorCounts(double mm) { return ToCounts(std::floor(HundredthsOf(mm))); }

std::int32_t TruncCounts(double mm) { return ToCounts(std::trunc(HundredthsOf(mm))); }

std::int32_t ClampCounts(std::int64_t counts, std::int64_t low, std::int64_t high) {
    return static_cast<std::int32_t>(std::clamp(counts, low, high));
}
