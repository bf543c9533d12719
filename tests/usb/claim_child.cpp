// A second process on an emulated mill's testbed: opens the device at a port
// path and claims an interface. Exit status: 0 claimed, 1 busy, 2 anything else.
#include <cstdio>
#include <cstdlib>

#include "libusb_util.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PORT-PATH INTERFACE\n", argv[0]);
        return 2;
    }
    usbtest::LibusbContext usb;
    if (!usb.Ok()) return 2;
    int error = 0;
    const auto handle = usbtest::OpenAt(usb.Get(), argv[1], &error);
    if (!handle) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], libusb_error_name(error));
        return 2;
    }
    const int claimed = libusb_claim_interface(handle.get(), std::atoi(argv[2]));
    return claimed == 0 ? 0 : claimed == LIBUSB_ERROR_BUSY ? 1 : 2;
}
