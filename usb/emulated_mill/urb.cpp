#include "urb.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "ioctl_arg.h"

namespace usbemu {

std::unique_ptr<Urb> Urb::Read(UMockdevIoctlClient* client) {
    auto data = ResolveArg(client, sizeof(usbdevfs_urb));
    if (!data) return nullptr;
    return std::unique_ptr<Urb>(new Urb(client, std::move(data)));
}

Urb::Urb(UMockdevIoctlClient* client, GObjectPtr<UMockdevIoctlData> urb)
    : m_client(client), m_urb(std::move(urb)) {
    std::memcpy(&m_fields, m_urb->data, sizeof m_fields);
}

bool Urb::ReadBuffer() {
    if (Length() == 0) return true;
    GError* error = nullptr;
    m_buffer.reset(
        umockdev_ioctl_data_resolve(m_urb.get(), offsetof(usbdevfs_urb, buffer), Length(), &error));
    if (error) g_error_free(error);
    return m_buffer != nullptr;
}

std::uint64_t Urb::Address() const { return m_urb->client_addr; }

std::span<const std::uint8_t> Urb::Buffer() const {
    if (!m_buffer) return {};
    return {m_buffer->data, static_cast<std::size_t>(m_buffer->data_len)};
}

bool Urb::HandBack(UMockdevIoctlClient* reaper) {
    if (m_buffer && !inData.empty() && inOffset < Length()) {
        const std::size_t n = std::min(inData.size(), Length() - inOffset);
        std::memcpy(m_buffer->data + inOffset, inData.data(), n);
    }
    m_fields.status = status;
    m_fields.actual_length = static_cast<int>(actualLength);
    std::memcpy(m_urb->data, &m_fields, sizeof m_fields);
    const auto slot = ResolveArg(reaper, sizeof(void*));
    return slot && umockdev_ioctl_data_set_ptr(slot.get(), 0, m_urb.get());
}

}  // namespace usbemu
