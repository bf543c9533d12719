#pragma once
// The moves, probes and origins the recording driver received, as text in the
// order sent: "move X Y Z A @speed", "probe X Y Z @speed", "origin X Y Z A".
#include <string>
#include <vector>

#include "support/recording_driver_client.h"

inline std::vector<std::string> MotionFrames(RecordingDriver& driver) {
    std::vector<std::string> frames;
    auto s32 = [](const std::vector<std::uint8_t>& f, std::size_t offset) {
        return std::to_string(FrameS32(f, offset));
    };
    auto u16 = [](const std::vector<std::uint8_t>& f, std::size_t offset) {
        return std::to_string((f[offset] << 8) | f[offset + 1]);
    };
    for (const RecordedCall& call : driver.Calls()) {
        const auto& f = call.request;
        auto xyz = [&] { return s32(f, 3) + " " + s32(f, 7) + " " + s32(f, 11); };
        switch (call.Opcode()) {
            case 0x99:
                frames.push_back("move " + xyz() + " " + s32(f, 15) + " @" + u16(f, 19));
                break;
            case 0x96:
                frames.push_back("probe " + xyz() + " @" + u16(f, 15));
                break;
            case 0x23:
                frames.push_back("origin " + xyz() + " " + s32(f, 15));
                break;
            default:  // other frames are shorter
                break;
        }
    }
    return frames;
}
