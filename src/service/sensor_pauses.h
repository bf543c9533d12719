#pragma once
// The two "Pause" boxes of the tool sensor scan: between measuring the sensor
// in the rotary axis and measuring the tool sensor, the operator moves the
// sensor and its cable. The windows show the boxes; the texts live here.
#include <array>
#include <functional>

inline constexpr const char* kSensorPauseCaption = "Pause";
inline constexpr std::array<const char*, 2> kSensorPauseTexts = {
    "Press the View button. Remove sensor from rotary axis and relocate to tool sensor position.",
    "Make sure your sensor cable is plugged into the tool sensor.",
};

// Shows the boxes one after the other through `box`, which returns once the
// operator answered (true) or it gave up (false). True when both were answered;
// after a box that gave up the next one is not shown.
using PauseBox = std::function<bool(const char* text, const char* caption)>;
bool ShowSensorPausesWith(const PauseBox& box);
