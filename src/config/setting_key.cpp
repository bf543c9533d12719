#include "config/setting_key.h"

#include "config/value_text.h"
#include "platform/profile_file.h"

namespace config {

std::string FormatValue(const SettingKey& key) {
    if (const auto* integer = std::get_if<std::int32_t*>(&key.value)) return FormatInt(**integer);
    return FormatFixed(*std::get<double*>(key.value), key.decimals);
}

void AssignText(const SettingKey& key, const std::string& text) {
    if (const auto* integer = std::get_if<std::int32_t*>(&key.value)) {
        **integer = platform::ParseProfileInt(text);
    } else {
        *std::get<double*>(key.value) = ParseReal(text);
    }
}

void ReadKeys(const SettingKeys& keys, const std::string& path) {
    for (const SettingKey& key : keys) {
        AssignText(key, platform::ReadProfileString(key.section, key.key, key.defaultText, path));
    }
}

bool WriteKeys(const SettingKeys& keys, const std::string& path) {
    bool allWritten = true;
    for (const SettingKey& key : keys) {
        allWritten = platform::WriteProfileString(key.section, key.key, FormatValue(key), path) &&
                     allWritten;
    }
    return allWritten;
}

}  // namespace config
