#include "host/control_wire.h"

#include "machine/big_endian.h"

namespace sim {

namespace {

bool SendMessage(int fd, const std::uint8_t* header, std::size_t headerLength,
                 const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> message(header, header + headerLength);
    message.insert(message.end(), payload.begin(), payload.end());
    return SendAll(fd, message.data(), message.size());
}

bool ReceivePayload(int fd, std::uint32_t length, std::vector<std::uint8_t>& payload,
                    Deadline deadline) {
    if (length > kMaxPayload) return false;
    payload.resize(length);
    return length == 0 || RecvAll(fd, payload.data(), length, deadline);
}

}  // namespace

bool SendRequest(int fd, const ControlRequest& request) {
    if (request.payload.size() > kMaxPayload) return false;
    std::uint8_t header[kRequestHeader];
    header[0] = static_cast<std::uint8_t>(request.kind);
    PutU32(header + 1, request.code);
    PutU32(header + 5, request.replyCapacity);
    PutU32(header + 9, static_cast<std::uint32_t>(request.payload.size()));
    return SendMessage(fd, header, sizeof header, request.payload);
}

std::optional<ControlRequest> ReceiveRequest(int fd, Deadline deadline) {
    std::uint8_t header[kRequestHeader];
    if (!RecvAll(fd, header, sizeof header, deadline)) return std::nullopt;
    ControlRequest request;
    if (header[0] != static_cast<std::uint8_t>(RequestKind::Frame) &&
        header[0] != static_cast<std::uint8_t>(RequestKind::Text)) {
        return std::nullopt;
    }
    request.kind = static_cast<RequestKind>(header[0]);
    request.code = GetU32(header + 1);
    request.replyCapacity = GetU32(header + 5);
    if (!ReceivePayload(fd, GetU32(header + 9), request.payload, deadline)) return std::nullopt;
    return request;
}

bool SendResponse(int fd, const ControlResponse& response) {
    if (response.payload.size() > kMaxPayload) return false;
    std::uint8_t header[kResponseHeader];
    header[0] = response.ok ? 1 : 0;
    PutU32(header + 1, static_cast<std::uint32_t>(response.payload.size()));
    return SendMessage(fd, header, sizeof header, response.payload);
}

std::optional<ControlResponse> ReceiveResponse(int fd, Deadline deadline) {
    std::uint8_t header[kResponseHeader];
    if (!RecvAll(fd, header, sizeof header, deadline) || header[0] > 1) return std::nullopt;
    ControlResponse response;
    response.ok = header[0] == 1;
    if (!ReceivePayload(fd, GetU32(header + 1), response.payload, deadline)) return std::nullopt;
    return response;
}

}  // namespace sim
