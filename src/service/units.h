#pragma once
// Millimetres to machine counts (0.01 mm). The results are clamped to the
// 32-bit count range, and a value that is not a number gives 0, so that no
// typed or stored value can overflow the conversion.
#include <cstdint>

// floor(mm × 100): the cycles' rounding.
std::int32_t FloorCounts(double mm);
// mm × 100 truncated toward zero: the origins sent from the active offsets.
std::int32_t TruncCounts(double mm);
// A 64-bit count sum clamped into [low, high].
std::int32_t ClampCounts(std::int64_t counts, std::int64_t low, std::int64_t high);
