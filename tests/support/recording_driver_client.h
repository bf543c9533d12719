#pragma once
// Reaching the recording driver (tests/link/recording_driver.h) from a test:
// the same shared object the machine port loads from the program folder.
#include <dlfcn.h>

#include <cstdint>
#include <vector>

#include "link/machine_position.h"
#include "link/recording_driver.h"

#ifndef RECORDING_DRIVER_DIR
#error "RECORDING_DRIVER_DIR must name the recording driver's folder"
#endif

inline RecordingDriver* LoadRecordingDriver() {
    static RecordingDriver* driver = [] {
        void* lib = dlopen(RECORDING_DRIVER_DIR "/RDUPSLT.DLL", RTLD_NOW);
        if (!lib) return static_cast<RecordingDriver*>(nullptr);
        auto instance =
            reinterpret_cast<RecordingDriver* (*)()>(dlsym(lib, "RecordingDriverInstance"));
        return instance ? instance() : nullptr;
    }();
    return driver;
}

// Big-endian reply bytes for scripting the driver.
inline void AppendU32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(std::uint8_t(value >> shift));
}
inline std::vector<std::uint8_t> PositionReply(const MachinePosition& p) {
    std::vector<std::uint8_t> bytes;
    for (std::int32_t v : {p.x, p.y, p.z, p.a}) AppendU32(bytes, static_cast<std::uint32_t>(v));
    return bytes;
}
// The 31-byte status block: status word and spindle speed.
inline std::vector<std::uint8_t> StatusReply(std::uint32_t word, std::int32_t spindle = 0) {
    std::vector<std::uint8_t> bytes;
    AppendU32(bytes, word);
    bytes.resize(24, 0);
    AppendU32(bytes, static_cast<std::uint32_t>(spindle));
    bytes.resize(31, 0);
    return bytes;
}
inline std::int32_t FrameS32(const std::vector<std::uint8_t>& frame, std::size_t offset) {
    return static_cast<std::int32_t>((std::uint32_t(frame[offset]) << 24) |
                                     (std::uint32_t(frame[offset + 1]) << 16) |
                                     (std::uint32_t(frame[offset + 2]) << 8) | frame[offset + 3]);
}
