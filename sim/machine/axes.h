#pragma once
// Positions of the four axes. Machine counts: X, Y, Z in 0.01 mm, A in 0.01 degree.
#include <cstdint>

namespace sim {

struct Counts {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::int32_t a = 0;
    bool operator==(const Counts&) const = default;
};

// The same in fractional counts, for positions between two counts while moving.
struct Point {
    double x = 0;
    double y = 0;
    double z = 0;
    double a = 0;
};

Point ToPoint(const Counts& counts);
Counts ToCounts(const Point& point);  // rounded to the nearest count
Point Lerp(const Point& from, const Point& to, double fraction);

}  // namespace sim
