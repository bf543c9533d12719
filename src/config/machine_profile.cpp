#include "config/machine_profile.h"

#include "config/config_keys.h"
#include "config/value_text.h"
#include "platform/profile_file.h"

std::string_view ModelName(int machineType) {
    switch (machineType) {
        case 0:
            return kModelJwx10;
        case 1:
            return kModelMdx40;
        default:
            return {};
    }
}

namespace config {

namespace {

struct ProfileKey {
    const char* key;
    std::int32_t MachineProfile::*member;
    // The read defaults are no one model's profile: YVIEWPOS, TOOLSENSORLOCZ
    // and TOOLBARHT1 default to the MDX-40 values, the rest to the JWX-10 ones.
    const char* readDefault;
    const char* jwx10;  // written for type 0; null: never written
    const char* mdx40;  // written for any other type
};

constexpr ProfileKey kProfileKeys[] = {
    {"XLIMIT", &MachineProfile::xLimit, "14000", "14000", "30500"},
    {"YLIMIT", &MachineProfile::yLimit, "10500", "10500", "30500"},
    {"ZLIMIT", &MachineProfile::zLimit, "10500", "10500", "10500"},
    {"XVIEWPOS", &MachineProfile::xViewPos, "0", "0", "0"},
    {"YVIEWPOS", &MachineProfile::yViewPos, "30500", "10500", "30500"},
    {"TOOLSENSORLOCX", &MachineProfile::toolSensorLocX, "13300", "13300", "28000"},
    {"TOOLSENSORLOCY", &MachineProfile::toolSensorLocY, "400", "400", "28400"},
    {"TOOLSENSORLOCZ", &MachineProfile::toolSensorLocZ, "7900", "7000", "7900"},
    {"ROTAXISLOCX", &MachineProfile::rotAxisLocX, "6000", "6000", "13500"},
    {"ROTAXISLOCY", &MachineProfile::rotAxisLocY, "7200", "7200", "15300"},
    {"TOOLBARHT1", &MachineProfile::toolBarHt1, "6100", "5200", "6100"},
    {"TOOLBARHT2", &MachineProfile::toolBarHt2, "10500", "10500", "10500"},
    {"AUX_OUTPUT_ON_SPINDLE", &MachineProfile::auxOutputOnSpindle, "0", nullptr, nullptr},
    {"USE_DOUBLE_FIXTURE", &MachineProfile::useDoubleFixture, "0", nullptr, nullptr},
};

}  // namespace

SettingKeys ProfileKeys(MachineProfile& profile) {
    SettingKeys keys;
    for (const ProfileKey& k : kProfileKeys) {
        keys.push_back({kMachineInfo, k.key, k.readDefault, &(profile.*k.member)});
    }
    return keys;
}

bool WriteProfileColumn(int type, const std::string& path) {
    bool allWritten =
        platform::WriteProfileString(kMachineInfo, kMachineType, FormatInt(type), path);
    for (const ProfileKey& k : kProfileKeys) {
        const char* text = type == 0 ? k.jwx10 : k.mdx40;
        if (text)
            allWritten =
                platform::WriteProfileString(kMachineInfo, k.key, text, path) && allWritten;
    }
    return allWritten;
}

}  // namespace config
