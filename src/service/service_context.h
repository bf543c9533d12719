#pragma once
// Everything the command thread and its cycles work with, owned elsewhere
// (the main window, or a test).
#include <functional>

class CMachinePort;
class Configuration;
class SharedState;
class IDisplay;
class LogFile;

struct ServiceContext {
    CMachinePort& port;
    Configuration& config;
    SharedState& state;
    IDisplay& display;
    LogFile& log;
    // The pauses of the service loop; tests replace it to run without waiting.
    std::function<void(int milliseconds)> sleep;
};
