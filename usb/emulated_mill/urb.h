#pragma once
// One URB a client submitted, kept from SUBMITURB until the client reaps it.
// umockdev copied the client's struct usbdevfs_urb and its buffer over at
// submit; at reap the status, the length done and any IN data are written
// into those copies and the reaper's pointer is made to point at the URB, so
// that umockdev copies it all back into the client.
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>  // before linux/usbdevice_fs.h, which needs it
#include <umockdev.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "gobject_ptr.h"

namespace usbemu {

class Urb {
public:
    // The URB the client submits; nothing when its memory cannot be read.
    static std::unique_ptr<Urb> Read(UMockdevIoctlClient* client);
    // Copies its buffer (buffer_length bytes) over; false when that fails.
    bool ReadBuffer();

    UMockdevIoctlClient* Client() const { return m_client; }
    // Where it lies in the client's memory: DISCARDURB names it by this.
    std::uint64_t Address() const;
    std::uint8_t Type() const { return m_fields.type; }
    std::uint8_t Endpoint() const { return m_fields.endpoint; }
    std::size_t Length() const {
        return static_cast<std::size_t>(std::max(m_fields.buffer_length, 0));
    }
    std::span<const std::uint8_t> Buffer() const;

    // Makes the reaper's URB pointer point at this URB, with its outcome.
    bool HandBack(UMockdevIoctlClient* reaper);

    // The outcome the client finds at reap.
    int status = 0;  // 0 or a negative errno
    std::size_t actualLength = 0;
    std::vector<std::uint8_t> inData;  // written into the buffer at inOffset
    std::size_t inOffset = 0;
    // When a control URB's answer is delivered; nothing while it is never to be.
    std::optional<std::chrono::steady_clock::time_point> due;

private:
    Urb(UMockdevIoctlClient* client, GObjectPtr<UMockdevIoctlData> urb);

    UMockdevIoctlClient* m_client;
    GObjectPtr<UMockdevIoctlData> m_urb;
    GObjectPtr<UMockdevIoctlData> m_buffer;
    usbdevfs_urb m_fields;
};

}  // namespace usbemu
