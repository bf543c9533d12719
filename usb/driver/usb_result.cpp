#include "driver/usb_result.h"

#include <libusb.h>

namespace usb_driver {

namespace {

std::string_view Meaning(int code) {
    switch (code) {
        case LIBUSB_ERROR_PIPE:
            return " (stalled: the machine refused it)";
        case LIBUSB_ERROR_TIMEOUT:
            return " (no answer in time)";
        case LIBUSB_ERROR_NO_DEVICE:
            return " (the device has gone)";
        case LIBUSB_ERROR_ACCESS:
            return " (no permission: install usb/70-tarnwick-mill.rules)";
        case LIBUSB_ERROR_BUSY:
            return " (another program holds the machine's printer interface)";
        default:
            return {};
    }
}

}  // namespace

UsbResult MapUsbResult(int code, std::string_view what) {
    if (code >= 0) return {};
    UsbResult failure{0, code == LIBUSB_ERROR_NO_DEVICE, libusb_error_name(code), {}};
    failure.line =
        std::string(what) + " failed: " + std::string(failure.kind) + std::string(Meaning(code));
    return failure;
}

}  // namespace usb_driver
