#pragma once
// What an emulated mill is when it is plugged in: the simulated machine
// behind it, how it names itself, where it sits on the bus and how its USB
// side behaves. Empty texts take defaults derived from the model.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace usbemu {

// The test vendor/product id of the emulation (pid.codes test range).
inline constexpr std::uint16_t kVendorId = 0x1209;
inline constexpr std::uint16_t kProductId = 0x0001;

// USB class of a printer interface, and its subclass.
inline constexpr std::uint8_t kPrinterClass = 7;
inline constexpr std::uint8_t kPrinterSubclass = 1;

struct MillOptions {
    // The simulated machine: a model name of sim/machine/profile.h.
    std::string model = "Roland MDX-40";
    // String descriptors and sysfs attributes. Defaults: the model name's
    // first word is the manufacturer, the rest the product ("MDX-40").
    std::string manufacturer{};
    std::string product{};
    std::string serial{};  // default "EMU-" and the port path
    // IEEE-1284 device ID; default "MFG:<manufacturer>;MDL:<product>;CMD:RML-1;CLS:PRINTER;".
    std::string deviceId{};

    std::string portPath = "1-4.2";  // bus 1, root port 4, hub port 2
    // The printer interface's number; interfaces below it are vendor-class
    // ones without endpoints, so that a request to the wrong interface shows.
    std::uint8_t printerInterface = 0;
    // 7 is a printer; any other class makes a device that only names itself like a mill.
    std::uint8_t interfaceClass = kPrinterClass;
    // 2 bidirectional (bulk OUT and bulk IN), 1 unidirectional (bulk OUT only).
    std::uint8_t printerProtocol = 2;
    // The kernel's printer driver is there: it is bound when the mill is
    // plugged in, and binds again on a re-attach or a reset.
    bool usblp = true;

    // Job data the machine holds unexecuted before it NAKs.
    std::size_t jobMemoryBytes = 256 * 1024;
    // Machine time runs this many times faster than real time.
    double speed = 1;
    // Time from a control request to its answer.
    std::chrono::microseconds replyLatency{1000};
    // Job bytes kept for inspection (all are counted).
    std::size_t keptJobBytes = 1 << 20;
};

// The options with every empty text filled in. Throws std::invalid_argument
// for an unknown model, a malformed port path or a printer protocol other than 1 or 2.
MillOptions WithDefaults(MillOptions options);

}  // namespace usbemu
