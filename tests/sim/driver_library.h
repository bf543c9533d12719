#pragma once
// The simulated driver library, loaded from the program folder by file name.
#include <dlfcn.h>

#include <array>
#include <cstdint>
#include <string>

#include "control_codes.h"

namespace simtest {

struct DriverLibrary {
    using OpenFn = int (*)(const char*, std::uint32_t, std::uint32_t, void*, std::uint32_t,
                           std::uint32_t, void*);
    using DevIoCtlFn = int (*)(std::uint32_t, void*, std::uint32_t, void*, std::uint32_t,
                               std::uint32_t*, void*);
    using CloseFn = int (*)();

    DriverLibrary() {
        // Never closed, as the program never unloads it.
        handle = ::dlopen((std::string(TARNWICK_PROGRAM_DIR) + "/RDUPSLT.DLL").c_str(), RTLD_NOW);
        if (!handle) return;
        open = reinterpret_cast<OpenFn>(::dlsym(handle, "Open"));
        devIoCtl = reinterpret_cast<DevIoCtlFn>(::dlsym(handle, "DevIoCtl"));
        close = reinterpret_cast<CloseFn>(::dlsym(handle, "Close"));
    }

    int Open(const char* name) const {
        return open(name, 0xC0000000u, 0, nullptr, 3, 128, nullptr);
    }
    // A call as the program makes it, with a reply buffer of `capacity` bytes.
    int Call(std::uint32_t code, std::basic_string<std::uint8_t> frame, std::uint8_t* reply,
             std::uint32_t capacity, std::uint32_t* returned) const {
        return devIoCtl(code, frame.data(), static_cast<std::uint32_t>(frame.size()), reply,
                        capacity, returned, nullptr);
    }

    void* handle = nullptr;
    OpenFn open = nullptr;
    DevIoCtlFn devIoCtl = nullptr;
    CloseFn close = nullptr;
};

using Frame = std::basic_string<std::uint8_t>;

// Calls as the program makes them: the stated reply length in a 256-byte buffer.
class DriverCalls {
public:
    explicit DriverCalls(const DriverLibrary& driver) : m_driver(driver) {}

    // The number of reply bytes, or -1 when the call fails.
    long Read(const Frame& frame, std::uint32_t length) {
        reply.fill(0xEE);
        std::uint32_t returned = 0xFFFF;
        if (m_driver.Call(kRead, frame, reply.data(), length, &returned) != 1) return -1;
        return returned;
    }
    // 1 on success, as the library says.
    int Write(const Frame& frame) {
        std::uint32_t returned = 0xFFFF;
        const int result = m_driver.Call(kWrite, frame, reply.data(), 0, &returned);
        return result == 1 && returned == 0 ? 1 : 0;
    }
    // Polls completion back to back, as the program does.
    bool WaitDone() {
        for (;;) {
            if (Read({0x02, 0, 0}, 6) != 6 || reply[0] > 2) return false;
            if (reply[0] == 0) return true;
        }
    }

    std::array<std::uint8_t, 256> reply{};

private:
    const DriverLibrary& m_driver;
};

}  // namespace simtest
