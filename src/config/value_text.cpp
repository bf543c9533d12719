#include "config/value_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace config {

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool StartsWithHexPrefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace

double ParseReal(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would take a second sign; atof does not.
    if (text.empty() || text.front() == '-') return 0.0;

    auto format = std::chars_format::general;
    if (StartsWithHexPrefix(text)) {
        text.remove_prefix(2);
        format = std::chars_format::hex;
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, format);
    // No digits gives 0, as atof; so does a value out of range.
    if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
    return negative ? -value : value;
}

std::string FormatInt(std::int32_t value) { return std::to_string(value); }

std::string FormatFixed(double value, int decimals) {
    // Room for the largest double in fixed notation (309 digits) and the decimals.
    std::array<char, 512> buffer;
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "0";
    return std::string(buffer.data(), result.ptr);
}

}  // namespace config
