#pragma once
// The names in "Tarnwick.cfg". Files of earlier installations use them, so
// none may change.
#include <string>

namespace config {

inline constexpr char kFileName[] = "Tarnwick.cfg";

inline constexpr char kMachineInfo[] = "MACHINEINFO";
inline constexpr char kMachineType[] = "MACHINETYPE";

inline constexpr char kToolSensor[] = "TSO";
inline constexpr char kSensorOffset[] = "ZA";
inline constexpr char kCurrentTool[] = "CURRENT";
inline constexpr char kValue[] = "VALUE";  // TSO: tool offset value; WORKOFFSET: use-fixture flag

inline constexpr char kFixtureChoice[] = "WORKOFFSET";
inline constexpr char kSelectedFixture[] = "NUM";

inline constexpr char kX[] = "X";
inline constexpr char kY[] = "Y";
inline constexpr char kZ[] = "Z";
inline constexpr char kA[] = "A";

// "TOOLPOSITION1" .. "TOOLPOSITION4" for index 0 .. 3.
inline std::string AuxLocationSection(int index) {
    return "TOOLPOSITION" + std::to_string(index + 1);
}
// "WORKOFFSET1" .. "WORKOFFSET4" for index 0 .. 3.
inline std::string FixtureSection(int index) { return kFixtureChoice + std::to_string(index + 1); }

}  // namespace config
