#include "machine/probe_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

double Radians(double aCounts) {
    return (aCounts / 100.0 + kEccentricityPhaseDeg) * std::numbers::pi / 180.0;
}

}  // namespace

double ProbeGeometry::ToolSensorTopZ() const {
    return m_profile.toolSensorZ - kToolSensorTopBelowConfigured;
}

double ProbeGeometry::SensorPieceCentreY(double aCounts) const {
    return m_profile.rotaryAxisY + kRotaryAxisYOffset + kEccentricity * std::cos(Radians(aCounts));
}

double ProbeGeometry::SensorPieceCentreZ(double aCounts) const {
    return kRotaryAxisZ + kEccentricity * std::sin(Radians(aCounts));
}

bool ProbeGeometry::TouchesToolSensor(const Point& reach) const {
    const double dx = reach.x - m_profile.toolSensorX;
    const double dy = reach.y - m_profile.toolSensorY;
    return reach.z <= ToolSensorTopZ() && std::hypot(dx, dy) <= kToolSensorRadius + kToolRadius;
}

// The tool is a vertical column of radius kToolRadius above its tip; the piece
// a horizontal bar. Seen along X, the column covers |y' - y| <= radius from the
// tip upwards, so it touches when the nearest part of that band reaches into
// the bar's circle at or above the tip.
bool ProbeGeometry::TouchesSensorPiece(const Point& reach) const {
    const double minX = m_profile.rotaryAxisX - kSensorPieceMinusX - kToolRadius;
    const double maxX = m_profile.rotaryAxisX + kSensorPiecePlusX + kToolRadius;
    if (reach.x < minX || reach.x > maxX) return false;
    const double gap = std::max(0.0, std::abs(reach.y - SensorPieceCentreY(reach.a)) - kToolRadius);
    if (gap > kSensorPieceRadius) return false;
    const double halfHeight = std::sqrt(kSensorPieceRadius * kSensorPieceRadius - gap * gap);
    return reach.z <= SensorPieceCentreZ(reach.a) + halfHeight;
}

bool ProbeGeometry::Touches(const Point& position, std::int32_t toolLength) const {
    Point reach = position;
    reach.z -= toolLength - kDefaultToolLength;
    return TouchesToolSensor(reach) || TouchesSensorPiece(reach);
}

std::optional<Point> ProbeGeometry::FirstContact(const Point& from, const Point& to,
                                                 std::int32_t toolLength) const {
    // Walk the path in steps of at most one count on every axis.
    const double longest =
        std::max({std::abs(to.x - from.x), std::abs(to.y - from.y), std::abs(to.z - from.z)});
    const auto steps = static_cast<long>(std::ceil(longest));
    for (long i = 0; i <= steps; ++i) {
        const Point p = steps == 0 ? from : Lerp(from, to, double(i) / double(steps));
        if (Touches(p, toolLength)) return p;
    }
    return std::nullopt;
}

std::int16_t DefaultSensorOffset(const MachineProfile& profile) {
    const ProbeGeometry geometry(profile);
    const double pieceTop = kRotaryAxisZ + kSensorPieceRadius;
    return static_cast<std::int16_t>(
        std::lround(pieceTop - kSensorPieceRadius - geometry.ToolSensorTopZ()));
}

}  // namespace sim
