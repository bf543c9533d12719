#include "ioctl_arg.h"

#include <algorithm>

namespace usbemu {

GObjectPtr<UMockdevIoctlData> ResolveArg(UMockdevIoctlClient* client, std::size_t size) {
    GError* error = nullptr;
    GObjectPtr<UMockdevIoctlData> data(
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error));
    if (error) g_error_free(error);
    return data;
}

std::uint64_t ValueArg(UMockdevIoctlClient* client) {
    const UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::uint64_t value = 0;
    std::memcpy(&value, arg->data,
                std::min(sizeof value, static_cast<std::size_t>(std::max(arg->data_len, 0))));
    return value;
}

}  // namespace usbemu
