#include "host/control_client.h"

#include "host/unix_socket.h"

namespace sim {

std::unique_ptr<ControlClient> ControlClient::Connect(const std::string& socketPath) {
    UniqueFd fd = ConnectUnix(socketPath);
    if (!fd.Valid()) return nullptr;
    return std::unique_ptr<ControlClient>(new ControlClient(std::move(fd)));
}

std::optional<ControlResponse> ControlClient::Call(const ControlRequest& request) {
    if (!SendRequest(m_fd.Get(), request)) return std::nullopt;
    return ReceiveResponse(m_fd.Get(), Deadline{-1, kReplyTimeout});
}

std::optional<ControlResponse> ControlClient::Command(const std::string& line) {
    return Call({RequestKind::Text, 0, 0, std::vector<std::uint8_t>(line.begin(), line.end())});
}

std::string AsText(const ControlResponse& response) {
    return std::string(response.payload.begin(), response.payload.end());
}

}  // namespace sim
