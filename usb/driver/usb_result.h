#pragma once
// The one place where libusb's results become the library's: 1 for success,
// 0 for a failure, with the line that names it.
#include <string>
#include <string_view>

namespace usb_driver {

struct UsbResult {
    int result = 1;           // what the entry point returns: 1 for success
    bool deviceGone = false;  // the device has vanished: later calls fail until the next Open
    std::string_view kind;    // the error's name, which tells equal failures apart
    std::string line;         // for a failure, what the log says

    bool Ok() const { return result == 1; }
};

// `code` is a libusb result (a count or 0 for success, LIBUSB_ERROR_* for a
// failure); `what` names the operation in the log line.
UsbResult MapUsbResult(int code, std::string_view what);

}  // namespace usb_driver
