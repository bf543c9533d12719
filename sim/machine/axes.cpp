#include "machine/axes.h"

#include <cmath>

namespace sim {

Point ToPoint(const Counts& c) { return {double(c.x), double(c.y), double(c.z), double(c.a)}; }

Counts ToCounts(const Point& p) {
    const auto round = [](double v) { return static_cast<std::int32_t>(std::lround(v)); };
    return {round(p.x), round(p.y), round(p.z), round(p.a)};
}

Point Lerp(const Point& from, const Point& to, double f) {
    return {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f,
            from.z + (to.z - from.z) * f, from.a + (to.a - from.a) * f};
}

}  // namespace sim
