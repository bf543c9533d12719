#pragma once
// The machine's parameter memory: numbered blocks of calibration bytes that
// survive between jobs. Blocks 4 and 5 are the ones the program reads and writes.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "machine/profile.h"

namespace sim {

inline constexpr std::uint16_t kSensorBlock = 4;
inline constexpr std::size_t kSensorBlockSize = 38;
inline constexpr std::size_t kSensorOffsetAt = 36;  // big-endian s16, last two bytes of block 4
inline constexpr std::uint16_t kCalibrationBlock = 5;
inline constexpr std::size_t kCalibrationBlockSize = 22;

class ParameterMemory {
public:
    // Power-on contents: see the defaults in the source.
    explicit ParameterMemory(const MachineProfile& profile);

    // Copies the first out.size() bytes of a block; false for an unknown block
    // or a read past its end.
    bool Read(std::uint16_t block, std::span<std::uint8_t> out) const;
    // Overwrites the first data.size() bytes; same failures as Read.
    bool Write(std::uint16_t block, std::span<const std::uint8_t> data);

    std::int16_t SensorOffset() const;

private:
    std::vector<std::uint8_t>* Find(std::uint16_t block);
    const std::vector<std::uint8_t>* Find(std::uint16_t block) const;

    std::vector<std::uint8_t> m_sensorBlock;
    std::vector<std::uint8_t> m_calibrationBlock;
};

}  // namespace sim
