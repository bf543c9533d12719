// The nine entry points of RDUPSLT.DLL, with the argument lists the program
// calls them with. Only these are exported; nothing may throw past them.
#include <cstdint>

#include "driver/device.h"

namespace {

sim::Device& TheDevice() {
    // Never destroyed: a thread of the program may still be inside a call
    // while the process exits.
    static sim::Device* device = new sim::Device;
    return *device;
}

template <typename F>
int Guarded(F&& call) {
    try {
        return call() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

#define DRIVER_ENTRY extern "C" __attribute__((visibility("default"))) int

DRIVER_ENTRY Open(const char* name, std::uint32_t, std::uint32_t, void*, std::uint32_t,
                  std::uint32_t, void*) {
    return Guarded([&] { return TheDevice().Open(name); });
}

DRIVER_ENTRY DevIoCtl(std::uint32_t code, void* request, std::uint32_t requestLength, void* reply,
                      std::uint32_t replyLength, std::uint32_t* returned, void*) {
    return Guarded([&] {
        return TheDevice().Control(code, request, requestLength, reply, replyLength, returned);
    });
}

DRIVER_ENTRY Write(const void* data, std::uint32_t length, std::uint32_t* written, void*) {
    return Guarded([&] { return TheDevice().Write(data, length, written); });
}

DRIVER_ENTRY Close(void) {
    return Guarded([] { return TheDevice().Close(); });
}

// Resolved by the program but never called; this driver has nothing behind them.
DRIVER_ENTRY Read(void) { return 0; }
DRIVER_ENTRY ReadSlot(void) { return 0; }
DRIVER_ENTRY WriteSlot(void) { return 0; }
DRIVER_ENTRY StatusSlot(void) { return 0; }
DRIVER_ENTRY VersionSlot(void) { return 0; }
