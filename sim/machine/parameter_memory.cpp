#include "machine/parameter_memory.h"

#include <algorithm>

#include "machine/big_endian.h"
#include "machine/probe_geometry.h"

namespace sim {

namespace {

// Block 5 at power-on: four axis scale corrections (10000 = exactly to scale),
// the edge offset and, at the end, the sensor height correction, all
// big-endian 16-bit; the bytes between are reserved and zero.
constexpr std::uint16_t kUnityScale = 10000;
constexpr std::uint16_t kEdgeOffset = 1159;
constexpr std::uint16_t kHeightCorrection = 1000;

// Block 4 at power-on: 36 reserved bytes, here a recognisable ramp so that a
// byte-order mistake on the other side shows, then the factory sensor offset.
constexpr std::uint8_t kSensorBlockFill = 0x10;

}  // namespace

ParameterMemory::ParameterMemory(const MachineProfile& profile)
    : m_sensorBlock(kSensorBlockSize), m_calibrationBlock(kCalibrationBlockSize) {
    for (std::size_t i = 0; i < kSensorOffsetAt; ++i) {
        m_sensorBlock[i] = static_cast<std::uint8_t>(kSensorBlockFill + i);
    }
    PutU16(&m_sensorBlock[kSensorOffsetAt],
           static_cast<std::uint16_t>(DefaultSensorOffset(profile)));
    for (std::size_t at = 0; at < 8; at += 2) PutU16(&m_calibrationBlock[at], kUnityScale);
    PutU16(&m_calibrationBlock[8], kEdgeOffset);
    PutU16(&m_calibrationBlock[20], kHeightCorrection);
}

std::vector<std::uint8_t>* ParameterMemory::Find(std::uint16_t block) {
    if (block == kSensorBlock) return &m_sensorBlock;
    if (block == kCalibrationBlock) return &m_calibrationBlock;
    return nullptr;
}

const std::vector<std::uint8_t>* ParameterMemory::Find(std::uint16_t block) const {
    return const_cast<ParameterMemory*>(this)->Find(block);
}

bool ParameterMemory::Read(std::uint16_t block, std::span<std::uint8_t> out) const {
    const auto* bytes = Find(block);
    if (!bytes || out.size() > bytes->size()) return false;
    std::copy_n(bytes->begin(), out.size(), out.begin());
    return true;
}

bool ParameterMemory::Write(std::uint16_t block, std::span<const std::uint8_t> data) {
    auto* bytes = Find(block);
    if (!bytes || data.size() > bytes->size()) return false;
    std::copy(data.begin(), data.end(), bytes->begin());
    return true;
}

std::int16_t ParameterMemory::SensorOffset() const {
    return static_cast<std::int16_t>(GetU16(&m_sensorBlock[kSensorOffsetAt]));
}

}  // namespace sim
