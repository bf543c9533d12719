#pragma once
// What the tool can touch: the tool sensor at the profile's tool-sensor place,
// and the sensor piece clamped in the rotary axis. Heights are given as the
// machine Z at which the reference tool touches; a longer tool touches that
// much higher.
#include <cstdint>
#include <optional>

#include "machine/axes.h"
#include "machine/profile.h"

namespace sim {

// Reference tool: 25 mm stick-out, 1/8" end mill.
inline constexpr std::int32_t kDefaultToolLength = 2500;
inline constexpr double kToolRadius = 159;

// The tool sensor: a puck of 6 mm radius whose top the reference tool meets
// 3.50 mm below the configured tool-sensor Z, so probing from there finds it.
inline constexpr double kToolSensorRadius = 600;
inline constexpr double kToolSensorTopBelowConfigured = 350;

// The sensor piece: a 20 mm round bar along X in the rotary axis. Its radius is
// the 10.00 mm height correction and, with the tool radius, the 11.59 mm edge
// offset that the calibration scans allow for. The reference tool's tip is on
// the axis centre line at machine Z 66.00 mm. The axis sits 0.37 mm in +Y from
// the configured place, and the bar runs 0.03 mm off the axis (at 30 degrees),
// so the runout scan sees a few hundredths and the Y-centre scan a real offset.
inline constexpr double kSensorPieceRadius = 1000;
inline constexpr double kRotaryAxisZ = 6600;
inline constexpr double kRotaryAxisYOffset = 37;
inline constexpr double kEccentricity = 3;
inline constexpr double kEccentricityPhaseDeg = 30;
inline constexpr double kSensorPieceMinusX = 4500;  // extent from the configured axis X
inline constexpr double kSensorPiecePlusX = 1500;

class ProbeGeometry {
public:
    explicit ProbeGeometry(const MachineProfile& profile) : m_profile(profile) {}

    // True when a tool of the given length at `position` touches anything.
    bool Touches(const Point& position, std::int32_t toolLength) const;
    // The first point on the straight path from `from` to `to` (A held) where
    // the tool touches, to within one count; nothing when the path is clear.
    std::optional<Point> FirstContact(const Point& from, const Point& to,
                                      std::int32_t toolLength) const;

    // The geometry itself, for checking measured values.
    double ToolSensorTopZ() const;
    double SensorPieceCentreY(double aCounts) const;  // A in 0.01 degree
    double SensorPieceCentreZ(double aCounts) const;

private:
    bool TouchesToolSensor(const Point& reach) const;
    bool TouchesSensorPiece(const Point& reach) const;

    const MachineProfile& m_profile;
};

// The sensor offset a factory calibration would store for this geometry:
// (top of the sensor piece − 10.00 mm) − top of the tool sensor.
std::int16_t DefaultSensorOffset(const MachineProfile& profile);

}  // namespace sim
