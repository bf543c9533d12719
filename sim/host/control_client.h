#pragma once
// The client end of a machine's control channel, used by the driver library
// and by the command-line tool.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "host/control_wire.h"
#include "host/unique_fd.h"

namespace sim {

// A host answers at once (plus its latency); one that has not answered in
// this time has hung, and the call fails rather than hang its caller.
inline constexpr std::chrono::milliseconds kReplyTimeout{10000};

class ControlClient {
public:
    // Null when no host listens at `socketPath`.
    static std::unique_ptr<ControlClient> Connect(const std::string& socketPath);

    // Nothing when the connection is lost (host gone, hung or garbled).
    std::optional<ControlResponse> Call(const ControlRequest& request);
    std::optional<ControlResponse> Command(const std::string& line);

private:
    explicit ControlClient(UniqueFd fd) : m_fd(std::move(fd)) {}
    UniqueFd m_fd;
};

std::string AsText(const ControlResponse& response);

}  // namespace sim
