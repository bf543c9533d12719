#pragma once
// Numbers as text in the configuration file. The conversions ignore the
// process locale: the file must read the same whatever locale the windows
// set, and a decimal comma would not read back at all.
#include <cstdint>
#include <string>
#include <string_view>

namespace config {

// Like C atof (leading white space, sign, decimal or "0x" hexadecimal digits,
// exponent; 0 when the text does not start with a number), except that a value
// that is not finite ("nan", "inf", "1e999") reads as 0: every user turns
// millimetres into counts, which NaN or infinity would make undefined.
double ParseReal(std::string_view text);

// "%d".
std::string FormatInt(std::int32_t value);
// "%.Nf" with N = decimals.
std::string FormatFixed(double value, int decimals);

}  // namespace config
