#pragma once
// The simulated driver library, loaded from the program folder by file name.
#include <dlfcn.h>

#include <cstdint>
#include <string>

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

}  // namespace simtest
