// The nine entry points of RDUPSLT.DLL, with the argument lists the program
// calls them with. Only these are exported; nothing throws past them.
#include <cstdint>

#include "driver/driver_log.h"
#include "driver/usb_driver.h"

namespace {

usb_driver::UsbDriver& TheDriver() {
    // Never destroyed: a thread of the program may still be inside a call
    // while the process exits.
    static auto* driver = new usb_driver::UsbDriver;
    return *driver;
}

template <typename F>
int Guarded(F&& call) noexcept {
    try {
        return call() ? 1 : 0;
    } catch (...) {
        usb_driver::DriverLog::Line("internal error; the call failed");
        return 0;
    }
}

}  // namespace

#define DRIVER_ENTRY extern "C" __attribute__((visibility("default"))) int

DRIVER_ENTRY Open(const char* name, std::uint32_t, std::uint32_t, void*, std::uint32_t,
                  std::uint32_t, void*) {
    return Guarded([&] { return TheDriver().Open(name); });
}

DRIVER_ENTRY DevIoCtl(std::uint32_t code, void* request, std::uint32_t requestLength, void* reply,
                      std::uint32_t replyLength, std::uint32_t* returned, void*) {
    return Guarded([&] {
        return TheDriver().Control(code, request, requestLength, reply, replyLength, returned);
    });
}

DRIVER_ENTRY Write(const void* data, std::uint32_t length, std::uint32_t* written, void*) {
    return Guarded([&] { return TheDriver().Write(data, length, written); });
}

DRIVER_ENTRY Close(void) {
    return Guarded([] { return TheDriver().Close(); });
}

// Resolved by the program but never called; nothing is behind them.
DRIVER_ENTRY Read(void) { return 0; }
DRIVER_ENTRY ReadSlot(void) { return 0; }
DRIVER_ENTRY WriteSlot(void) { return 0; }
DRIVER_ENTRY StatusSlot(void) { return 0; }
DRIVER_ENTRY VersionSlot(void) { return 0; }
