#include "driver/usb_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "driver/transfer_limits.h"

namespace usb_driver {

namespace {

std::string Describe(const ControlSetup& setup) {
    char text[64];
    std::snprintf(text, sizeof text,
                  setup.In() ? "frame 0x%02X (%u-byte reply)" : "frame 0x%02X (%u bytes of data)",
                  setup.request, static_cast<unsigned>(setup.length));
    return text;
}

// A transfer with a buffer of its own, so that one given up on never
// reaches into the caller's memory.
TransferPtr NewTransfer(std::size_t bufferBytes) {
    TransferPtr transfer(libusb_alloc_transfer(0));
    auto* buffer = static_cast<unsigned char*>(std::malloc(std::max<std::size_t>(bufferBytes, 1)));
    if (!transfer || !buffer) {
        std::free(buffer);
        throw std::bad_alloc();
    }
    transfer->buffer = buffer;
    transfer->flags = LIBUSB_TRANSFER_FREE_BUFFER;
    return transfer;
}

}  // namespace

UsbSession::UsbSession(ContextPtr context, HandlePtr handle, PrinterInterface printer,
                       std::string name, DriverLog& log)
    : m_context(std::move(context)),
      m_handle(std::move(handle)),
      m_events(m_context.get()),
      m_printer(printer),
      m_name(std::move(name)),
      m_log(log) {}

UsbSession::~UsbSession() {
    if (m_claimed) libusb_release_interface(m_handle.get(), m_printer.number);
    GiveBackToKernel();
    DriverLog::Line({"closed ", m_name});
}

bool UsbSession::Failed(Channel channel, const UsbResult& failure) {
    if (failure.deviceGone) {
        if (!m_gone.exchange(true))
            DriverLog::Line({m_name, ": ", failure.line, "; every call fails until the next Open"});
    } else {
        m_log.Failure(channel, failure.kind, failure.line);
    }
    return false;
}

bool UsbSession::Transfer(const ControlSetup& setup, std::uint8_t* reply, std::uint32_t& received) {
    received = 0;
    if (m_gone) return false;
    TransferPtr transfer = NewTransfer(LIBUSB_CONTROL_SETUP_SIZE + setup.length);
    libusb_fill_control_setup(transfer->buffer, setup.requestType, setup.request, setup.value,
                              setup.index, setup.length);
    if (!setup.outData.empty()) {
        std::memcpy(libusb_control_transfer_get_data(transfer.get()), setup.outData.data(),
                    setup.outData.size());
    }
    libusb_fill_control_transfer(transfer.get(), m_handle.get(), transfer->buffer, nullptr, nullptr,
                                 kControlTimeoutMs);
    const int result = m_events.Run(transfer);
    if (result < 0) return Failed(Channel::Frames, MapUsbResult(result, Describe(setup)));
    const int actual = transfer->actual_length;
    if (actual != setup.length) {
        m_log.Failure(Channel::Frames, "short",
                      Describe(setup) + " failed: " + std::to_string(actual) + " bytes came");
        return false;
    }
    m_log.Success(Channel::Frames);
    if (setup.In()) {
        std::memcpy(reply, libusb_control_transfer_get_data(transfer.get()), setup.length);
        received = setup.length;
    }
    return true;
}

bool UsbSession::Claim() {
    libusb_device_handle* handle = m_handle.get();
    const int bound = libusb_kernel_driver_active(handle, m_printer.number);
    if (bound == 1) {
        const int detached = libusb_detach_kernel_driver(handle, m_printer.number);
        // NOT_FOUND: the driver let go of it meanwhile, which is as good.
        if (detached < 0 && detached != LIBUSB_ERROR_NOT_FOUND) {
            return Failed(Channel::JobData,
                          MapUsbResult(detached, "taking the interface from the kernel's driver"));
        }
        m_detachedKernelDriver = detached == 0;
    } else if (bound < 0 && bound != LIBUSB_ERROR_NOT_SUPPORTED) {
        return Failed(Channel::JobData, MapUsbResult(bound, "asking for the kernel's driver"));
    }
    UsbResult claim = MapUsbResult(libusb_claim_interface(handle, m_printer.number),
                                   "claiming the printer interface for job data");
    if (claim.Ok() && m_printer.altSetting != 0) {
        claim = MapUsbResult(
            libusb_set_interface_alt_setting(handle, m_printer.number, m_printer.altSetting),
            "choosing the printer interface's alternate setting");
        if (!claim.Ok()) libusb_release_interface(handle, m_printer.number);
    }
    if (!claim.Ok()) {
        GiveBackToKernel();  // the printer driver is not left unbound for nothing
        return Failed(Channel::JobData, claim);
    }
    m_claimed = true;
    DriverLog::Line({m_name, ": claimed interface ", std::to_string(m_printer.number),
                     " for job data",
                     m_detachedKernelDriver ? ", taken from the kernel's driver until Close" : ""});
    return true;
}

void UsbSession::GiveBackToKernel() noexcept {
    if (!m_detachedKernelDriver) return;
    m_detachedKernelDriver = false;
    const int result = libusb_attach_kernel_driver(m_handle.get(), m_printer.number);
    if (result < 0 && result != LIBUSB_ERROR_NO_DEVICE) {
        DriverLog::Line({m_name, ": giving the interface back to the kernel's driver failed: ",
                         libusb_error_name(result)});
    }
}

bool UsbSession::WriteJobData(const std::uint8_t* data, std::uint32_t length,
                              std::uint32_t& taken) {
    taken = 0;
    if (m_gone) return false;
    if (length == 0) return true;
    std::lock_guard lock(m_jobMutex);
    if (!m_claimed && !Claim()) return false;
    const std::uint32_t slice = std::min(length, kJobSliceBytes);
    TransferPtr transfer = NewTransfer(slice);
    std::memcpy(transfer->buffer, data, slice);
    libusb_fill_bulk_transfer(transfer.get(), m_handle.get(), m_printer.bulkOut, transfer->buffer,
                              static_cast<int>(slice), nullptr, nullptr, kJobSliceTimeoutMs);
    const int result = m_events.Run(transfer);
    if (!transfer) {
        // Given up on without an end: how much the machine took is unknown,
        // and sending any of it again could double it.
        m_log.Failure(Channel::JobData, "lost",
                      "job data failed: the transfer never came back, what it took is unknown");
        return false;
    }
    // A time-out is the machine's memory being full: it took what it took.
    if (result != 0 && result != LIBUSB_ERROR_TIMEOUT)
        return Failed(Channel::JobData, MapUsbResult(result, "job data"));
    m_log.Success(Channel::JobData);
    taken = static_cast<std::uint32_t>(std::max(transfer->actual_length, 0));
    return true;
}

}  // namespace usb_driver
