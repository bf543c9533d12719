#pragma once
// One key of the configuration file bound to the value it holds in memory.
// Lists of these drive every read and write, so the order, defaults and
// formats of a group of keys are written down once.
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace config {

// Counts and flags are 32-bit ints throughout; the file's integers wrap to 32 bits.
static_assert(std::is_same_v<int, std::int32_t>);

inline constexpr int kMillimetreDecimals = 2;  // "%.2f"
inline constexpr int kToolOffsetDecimals = 6;  // "%f"

struct SettingKey {
    std::string section;
    const char* key = nullptr;
    const char* defaultText = "0";  // what a missing key reads as
    std::variant<std::int32_t*, double*> value;
    int decimals = kMillimetreDecimals;  // reals only
};

using SettingKeys = std::vector<SettingKey>;

// The value as written: "%d" for integers, "%.Nf" for reals.
std::string FormatValue(const SettingKey& key);
// Sets the value from text: integers like atol (wrapping to 32 bits), reals
// like atof (see ParseReal).
void AssignText(const SettingKey& key, const std::string& text);

// Every key in turn, one profile call each. Read text: a missing key gives its
// default; an empty one ("key=") gives the empty text, which converts to 0.
void ReadKeys(const SettingKeys& keys, const std::string& path);
// Every key in turn, one profile call each. False when any write failed; the
// others are still written.
bool WriteKeys(const SettingKeys& keys, const std::string& path);

}  // namespace config
