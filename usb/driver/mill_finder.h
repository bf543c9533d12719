#pragma once
// Finds the machine among the USB devices: one with a printer-class interface
// whose product string, or the model field of its IEEE-1284 device ID, names
// the model asked for. Never by vendor or product id. Among several, the one
// TARNWICK_USB_DEVICE names (port path or serial number), else the first in
// bus/port order. The log says what was found, skipped and chosen.
#include <optional>
#include <string>
#include <string_view>

#include "driver/libusb_handles.h"
#include "driver/machine_choice.h"
#include "driver/usb_session.h"

namespace usb_driver {

struct FoundMill {
    HandlePtr handle;  // open, nothing claimed
    PrinterInterface printer;
    MachinePlace place;
    std::string name;      // for the log: "MDX-40 at 1-4.2 (serial ...)"
    std::string identity;  // what named it: its product string, or its device ID
};

// `wanted` is the setting's value, empty when there is none.
std::optional<FoundMill> FindMill(libusb_context* context, std::string_view model,
                                  std::string_view wanted);

}  // namespace usb_driver
