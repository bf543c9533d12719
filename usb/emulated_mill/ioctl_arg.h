#pragma once
// The argument of the ioctl a umockdev client is in. usbfs passes a pointer
// to a struct; umockdev copies the struct over from the client on request
// and copies it back when the call completes.
#include <umockdev.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

#include "gobject_ptr.h"

namespace usbemu {

// The struct the argument points to, or nothing when the client's memory cannot be read.
GObjectPtr<UMockdevIoctlData> ResolveArg(UMockdevIoctlClient* client, std::size_t size);

template <typename T>
std::optional<T> ReadArg(UMockdevIoctlClient* client) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto data = ResolveArg(client, sizeof(T));
    if (!data) return {};
    T value;
    std::memcpy(&value, data->data, sizeof(T));
    return value;
}

// Hands the struct back to the client, in place of the one it passed.
template <typename T>
bool WriteArg(UMockdevIoctlClient* client, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto data = ResolveArg(client, sizeof(T));
    if (!data) return false;
    std::memcpy(data->data, &value, sizeof(T));
    return true;
}

// An argument passed by value (DISCARDURB's URB address).
std::uint64_t ValueArg(UMockdevIoctlClient* client);

}  // namespace usbemu
