#pragma once
// What the fixture offsets page and the set-up dialog need of the main window.
#include <functional>

class CMachinePort;
class QWidget;
class Configuration;
class SharedState;

struct SetupLinks {
    SharedState& state;     // the last position, the active offsets
    Configuration& config;  // the fixture offsets, the sensor offset, the fixture choice
    CMachinePort& port;     // the set-up dialog reads the position itself
    // The main window's ReapplyFixture.
    std::function<void()> reapplyFixture;
    // Run the Set Aux. Locations and the Machine Calibration dialogs modally.
    std::function<void(QWidget* parent)> openAuxLocations;
    std::function<void(QWidget* parent)> openCalibration;
};
