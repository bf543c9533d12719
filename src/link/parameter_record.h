#pragma once
// The machine's parameter blocks 4 and 5 kept as one 60-byte record. Seven
// 16-bit fields are big-endian on the wire and held in host order here.
#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::uint16_t kParameterBlock4 = 4;
inline constexpr std::uint16_t kParameterBlock5 = 5;
inline constexpr std::size_t kParameterBlock4Length = 38;
inline constexpr std::size_t kParameterBlock5Length = 22;
inline constexpr std::size_t kParameterRecordLength =
    kParameterBlock4Length + kParameterBlock5Length;
// Byte offset of the sensor offset (the last two bytes of block 4).
inline constexpr std::size_t kSensorOffsetField = 36;

struct ParameterRecord {
    std::array<std::uint8_t, kParameterRecordLength> bytes{};

    std::uint8_t* Block4() { return bytes.data(); }
    std::uint8_t* Block5() { return bytes.data() + kParameterBlock4Length; }
    // A 16-bit field in host order (after SwapParameterFields on a read record).
    std::uint16_t Field(std::size_t offset) const;
    void SetField(std::size_t offset, std::uint16_t value);
    bool operator==(const ParameterRecord&) const = default;
};

// Exchanges the two bytes of each of the seven 16-bit fields; the same call
// converts wire to host order after reading and back before writing.
void SwapParameterFields(ParameterRecord& record);
