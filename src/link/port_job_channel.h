#pragma once
// Job data through the driver library's Write, for a machine that has no
// print queue: one call at a time, each returning within about 100 ms, so
// that a Stop is seen between calls however full the machine's memory is.
#include <memory>

#include "platform/print_channel.h"

class CMachinePort;

// Null when the port is not open or its library has no Write.
std::unique_ptr<platform::PrintChannel> OpenPortJobChannel(CMachinePort& port);
