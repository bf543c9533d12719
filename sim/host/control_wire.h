#pragma once
// The control channel's messages (see sim/README.md). A request carries either
// a device-control call (control code, reply capacity, command frame) or a
// text command of the simulator's own; a response carries the call's result
// and its reply bytes, or the text answer.
#include <cstdint>
#include <optional>
#include <vector>

#include "host/unix_socket.h"

namespace sim {

enum class RequestKind : std::uint8_t { Frame = 1, Text = 2 };

// Neither a frame nor a reply is anywhere near this long; a longer one means
// the peer does not speak this protocol.
inline constexpr std::uint32_t kMaxPayload = 64 * 1024;
inline constexpr std::size_t kRequestHeader = 13;
inline constexpr std::size_t kResponseHeader = 5;

struct ControlRequest {
    RequestKind kind = RequestKind::Frame;
    std::uint32_t code = 0;
    std::uint32_t replyCapacity = 0;
    std::vector<std::uint8_t> payload;
};

struct ControlResponse {
    bool ok = false;
    std::vector<std::uint8_t> payload;
};

bool SendRequest(int fd, const ControlRequest& request);
std::optional<ControlRequest> ReceiveRequest(int fd, Deadline deadline);
bool SendResponse(int fd, const ControlResponse& response);
std::optional<ControlResponse> ReceiveResponse(int fd, Deadline deadline);

}  // namespace sim
