#pragma once
// The driver's one device: the machine opened by name, reached over its
// control channel and its job channel. Calls from several threads run side by
// side, each on a connection of its own taken from a small pool; job data
// goes on one connection for the whole session, a stream as on a real port.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/control_client.h"
#include "host/unique_fd.h"

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
    // Job data: takes what the machine accepts within about 100 ms (nothing
    // while its memory is full) and says how much in `written`. Fails when the
    // device is not open or the machine has gone away.
    bool Write(const void* data, std::uint32_t length, std::uint32_t* written);
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

    // Held for one write at a time, and by Close: taken before m_mutex.
    std::mutex m_jobMutex;
    std::string m_jobPath;
    UniqueFd m_job;
    std::uint64_t m_jobGeneration = 0;  // the session m_job belongs to
};

}  // namespace sim
