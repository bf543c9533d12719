#pragma once
// The first start after the operator chose the machine type: the fixture
// offsets, the sensor offset and the fixture choice are taken from the machine.
#include <string>

class CMachinePort;

namespace config {

// Reads the machine's origin and parameter blocks 4 and 5, then writes
// WORKOFFSET1..3 X, Y, A from the origin (X 1.15 mm further on an MDX-40),
// TSO/ZA from the parameter record and WORKOFFSET VALUE and NUM = 1. When a
// read fails nothing is written (rather than an origin the machine never
// reported) and the result is false.
bool SeedFromMachine(CMachinePort& port, int machineType, const std::string& path);

}  // namespace config
