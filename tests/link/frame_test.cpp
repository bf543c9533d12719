#include "link/frame.h"

#include <gtest/gtest.h>

#include "link/parameter_record.h"

TEST(Frame, FieldsArePackedBigEndianWithoutGaps) {
    frame::Buffer buffer{};
    const auto length =
        frame::Writer(buffer).Byte(0x99).U16(0x1234).S32(-2).U32(0xA1B2C3D4).Length();
    EXPECT_EQ(length, 11u);
    const std::uint8_t expected[] = {0x99, 0x12, 0x34, 0xFF, 0xFF, 0xFF,
                                     0xFE, 0xA1, 0xB2, 0xC3, 0xD4};
    for (std::size_t i = 0; i < sizeof expected; ++i) EXPECT_EQ(buffer[i], expected[i]) << i;
    EXPECT_EQ(frame::GetS32(buffer.data() + 3), -2);
    EXPECT_EQ(frame::GetU32(buffer.data() + 7), 0xA1B2C3D4u);
}

TEST(ParameterRecord, SwapExchangesExactlyTheSevenFieldsAndIsItsOwnInverse) {
    ParameterRecord wire;
    for (std::size_t i = 0; i < wire.bytes.size(); ++i)
        wire.bytes[i] = static_cast<std::uint8_t>(i);
    ParameterRecord host = wire;
    SwapParameterFields(host);
    for (std::size_t i = 0; i < wire.bytes.size(); ++i) {
        const bool swapped = i >= 36 && (i <= 47 || i >= 58);
        if (!swapped) {
            EXPECT_EQ(host.bytes[i], wire.bytes[i]) << i;
        }
    }
    // The sensor offset reads as the big-endian value from the wire.
    EXPECT_EQ(host.Field(kSensorOffsetField), (36 << 8) | 37);
    EXPECT_EQ(host.Field(58), (58 << 8) | 59);
    EXPECT_EQ(host.bytes[48], 48);
    SwapParameterFields(host);
    EXPECT_EQ(host, wire);
}
