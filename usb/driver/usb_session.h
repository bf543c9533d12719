#pragma once
// The machine opened by Open, until Close: its device handle and printer
// interface. Frames run side by side from any thread, each its own transfer;
// job data has a lock of its own that no frame takes. Once the device has
// vanished every call fails at once.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "driver/driver_log.h"
#include "driver/event_thread.h"
#include "driver/frame_setup.h"
#include "driver/libusb_handles.h"
#include "driver/usb_result.h"

namespace usb_driver {

// Where the machine takes frames and job data.
struct PrinterInterface {
    std::uint8_t configValue = 0;  // bConfigurationValue of the active configuration
    std::uint8_t configIndex = 0;  // its index, as GET_DEVICE_ID wants it
    std::uint8_t number = 0;       // bInterfaceNumber: wIndex of every frame
    std::uint8_t altSetting = 0;
    std::uint8_t bulkOut = 0;  // endpoint address of the job data
};

class UsbSession {
public:
    // `name` says which machine this is in the log ("MDX-40 at 1-4.2").
    UsbSession(ContextPtr context, HandlePtr handle, PrinterInterface printer, std::string name,
               DriverLog& log);
    // Releases the claim, gives the interface back to a kernel driver it was
    // taken from, closes the handle and ends the libusb context.
    ~UsbSession();
    UsbSession(const UsbSession&) = delete;
    UsbSession& operator=(const UsbSession&) = delete;

    std::uint8_t InterfaceNumber() const { return m_printer.number; }

    // One frame as its control transfer. An IN reply goes to `reply` (which has
    // room for setup.length bytes); `received` is its length. A shorter reply
    // is a failure.
    bool Transfer(const ControlSetup& setup, std::uint8_t* reply, std::uint32_t& received);

    // At most one slice of job data; `taken` is what the machine took, 0 while
    // its memory is full (still a success). Claims the interface first time.
    bool WriteJobData(const std::uint8_t* data, std::uint32_t length, std::uint32_t& taken);

private:
    bool Claim();
    void GiveBackToKernel() noexcept;
    bool Failed(Channel channel, const UsbResult& failure);

    ContextPtr m_context;  // declared before the handle: it must outlive it
    HandlePtr m_handle;
    EventThread m_events;  // after the handle: stopped before it closes
    const PrinterInterface m_printer;
    const std::string m_name;
    DriverLog& m_log;
    std::atomic<bool> m_gone{false};

    std::mutex m_jobMutex;  // job data and the claim it needs; frames never take it
    bool m_claimed = false;
    bool m_detachedKernelDriver = false;
};

}  // namespace usb_driver
