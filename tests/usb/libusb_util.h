#pragma once
// Plain libusb for the emulation's own tests: a context, and a device found
// by its port path ("1-4.2") as libusb reports it.
#include <libusb.h>

#include <memory>
#include <string>

namespace usbtest {

class LibusbContext {
public:
    LibusbContext() { m_ok = libusb_init(&m_context) == 0; }
    ~LibusbContext() {
        if (m_ok) libusb_exit(m_context);
    }
    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;

    bool Ok() const { return m_ok; }
    libusb_context* Get() const { return m_context; }

private:
    libusb_context* m_context = nullptr;
    bool m_ok = false;
};

using DeviceHandle = std::unique_ptr<libusb_device_handle, decltype(&libusb_close)>;

inline std::string PortPathOf(libusb_device* device) {
    std::uint8_t ports[8];
    const int count = libusb_get_port_numbers(device, ports, sizeof ports);
    if (count <= 0) return {};
    std::string path = std::to_string(libusb_get_bus_number(device)) + "-";
    for (int i = 0; i < count; ++i) path += (i ? "." : "") + std::to_string(ports[i]);
    return path;
}

// The device at `portPath` (a reference the caller unrefs), or null.
inline libusb_device* DeviceAt(libusb_context* context, const std::string& portPath) {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    libusb_device* found = nullptr;
    for (ssize_t i = 0; i < count && !found; ++i) {
        if (PortPathOf(list[i]) == portPath) found = libusb_ref_device(list[i]);
    }
    if (count >= 0) libusb_free_device_list(list, 1);
    return found;
}

// Opens the device at `portPath`; `error` says why not.
inline DeviceHandle OpenAt(libusb_context* context, const std::string& portPath,
                           int* error = nullptr) {
    DeviceHandle handle(nullptr, libusb_close);
    libusb_device* device = DeviceAt(context, portPath);
    int result = LIBUSB_ERROR_NOT_FOUND;
    if (device) {
        libusb_device_handle* opened = nullptr;
        result = libusb_open(device, &opened);
        handle.reset(opened);
        libusb_unref_device(device);
    }
    if (error) *error = result;
    return handle;
}

}  // namespace usbtest
