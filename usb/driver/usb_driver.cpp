#include "driver/usb_driver.h"

#include <cstdlib>
#include <span>
#include <string>

#include "driver/device_identity.h"
#include "driver/frame_setup.h"
#include "driver/mill_finder.h"
#include "driver/transfer_limits.h"

namespace usb_driver {

namespace {

constexpr const char* kChoiceVariable = "TARNWICK_USB_DEVICE";

}  // namespace

bool UsbDriver::CloseSession() {
    // The last owner frees it: here, unless a call outlived the wait.
    return m_slot.Retire(kCloseWaitForCalls) != nullptr;
}

bool UsbDriver::Open(const char* name) {
    std::lock_guard lock(m_openCloseMutex);
    CloseSession();
    const std::string model = name ? ModelOfName(name) : std::string();
    if (model.empty()) {
        DriverLog::Line("Open: no machine name given");
        return false;
    }
    libusb_context* raw = nullptr;
    const UsbResult init = MapUsbResult(libusb_init(&raw), "starting libusb");
    if (!init.Ok()) {
        DriverLog::Line(init.line);
        return false;
    }
    ContextPtr context(raw);
    const char* wanted = std::getenv(kChoiceVariable);
    auto mill = FindMill(context.get(), model, wanted ? wanted : "");
    if (!mill) return false;
    m_slot.Install(std::make_shared<UsbSession>(std::move(context), std::move(mill->handle),
                                                mill->printer, std::move(mill->name), m_log));
    return true;
}

bool UsbDriver::Close() {
    std::lock_guard lock(m_openCloseMutex);
    return CloseSession();
}

bool UsbDriver::Control(std::uint32_t code, const void* request, std::uint32_t requestLength,
                        void* reply, std::uint32_t replyLength, std::uint32_t* returned) {
    if (returned) *returned = 0;
    const auto session = m_slot.Acquire();
    if (!session) {
        m_log.Failure(Channel::Frames, "closed", "DevIoCtl failed: no machine is open");
        return false;
    }
    const std::span frame(static_cast<const std::uint8_t*>(request), request ? requestLength : 0);
    FrameMapping mapping = MapFrame(code, frame, replyLength, session->InterfaceNumber());
    if (mapping.setup && mapping.setup->In() && mapping.setup->length > 0 && !reply)
        mapping = {std::nullopt, "no reply buffer"};
    if (!mapping.setup) {
        m_log.Failure(Channel::Frames, mapping.refusal,
                      "frame refused, not sent: " + std::string(mapping.refusal));
        return false;
    }
    std::uint32_t received = 0;
    if (!session->Transfer(*mapping.setup, static_cast<std::uint8_t*>(reply), received))
        return false;
    if (returned) *returned = received;
    return true;
}

bool UsbDriver::Write(const void* data, std::uint32_t length, std::uint32_t* written) {
    if (written) *written = 0;
    // Without a count the caller could not know how much was taken.
    if (!written || (!data && length > 0)) {
        m_log.Failure(Channel::JobData, "arguments", "Write refused: no data or no count");
        return false;
    }
    const auto session = m_slot.Acquire();
    if (!session) {
        m_log.Failure(Channel::JobData, "closed", "Write failed: no machine is open");
        return false;
    }
    return session->WriteJobData(static_cast<const std::uint8_t*>(data), length, *written);
}

}  // namespace usb_driver
