#pragma once
// The driver's one device: the machine opened by name, reached over its
// control channel. Calls from several threads run side by side, each on a
// connection of its own taken from a small pool.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/control_client.h"

namespace sim {

class Device {
public:
    // Attaches to the host of the named machine, starting one in this process
    // when there is none. An unknown or empty name fails.
    bool Open(const char* name);
    // One device-control call. Fails when the device is not open, the request
    // is missing, or the machine has gone away (and from then on, until the
    // next Open). Never writes more than `replyLength` bytes.
    bool Control(std::uint32_t code, const void* request, std::uint32_t requestLength, void* reply,
                 std::uint32_t replyLength, std::uint32_t* returned);
    bool Close();

private:
    std::unique_ptr<ControlClient> Attach(const std::string& socketPath, bool& refused);
    void MarkLost(std::uint64_t generation);

    std::mutex m_mutex;
    std::string m_socketPath;  // empty while closed
    std::vector<std::unique_ptr<ControlClient>> m_idle;
    bool m_lost = false;
    // Changes with every Open and Close, so that a call still running across
    // them cannot hand its connection to the next session.
    std::uint64_t m_generation = 0;
};

}  // namespace sim
