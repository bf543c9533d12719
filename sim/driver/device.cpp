#include "driver/device.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "driver/embedded_hosts.h"
#include "host/host_options.h"
#include "host/runtime_dir.h"
#include "host/unix_socket.h"
#include "machine/profile.h"

namespace sim {

namespace {

// Another process may be starting the host at this moment.
constexpr int kAttachAttempts = 40;
constexpr std::chrono::milliseconds kAttachPause{50};
// How long one write waits for a full machine to take data.
constexpr int kWriteSliceMs = 100;

}  // namespace

std::unique_ptr<ControlClient> Device::Attach(const std::string& socketPath, bool& refused) {
    refused = false;
    auto client = ControlClient::Connect(socketPath);
    if (!client) return nullptr;
    const auto answer = client->Command("attach");
    if (answer && answer->ok) return client;
    refused = answer.has_value();  // a host that answers "no": the machine is lost
    return nullptr;
}

bool Device::Open(const char* name) {
    Close();
    const MachineProfile* profile = name ? FindProfile(name) : nullptr;
    if (!profile) return false;
    const HostOptions options = HostOptions::FromEnvironment();
    const std::string socketPath = ControlSocketPath(options.dir, profile->name);

    bool refused = false;
    auto client = Attach(socketPath, refused);
    for (int attempt = 0; !client && !refused && attempt < kAttachAttempts; ++attempt) {
        if (!EmbeddedHosts::Instance().Ensure(*profile, options)) {
            std::this_thread::sleep_for(kAttachPause);
        }
        client = Attach(socketPath, refused);
    }
    if (!client) return false;

    std::lock_guard lock(m_mutex);
    m_socketPath = socketPath;
    m_jobPath = JobSocketPath(options.dir, profile->name);
    m_idle.clear();
    m_idle.push_back(std::move(client));
    m_lost = false;
    ++m_generation;
    return true;
}

bool Device::Close() {
    std::lock_guard jobLock(m_jobMutex);
    m_job.Reset();
    std::lock_guard lock(m_mutex);
    const bool wasOpen = !m_socketPath.empty();
    m_socketPath.clear();
    m_idle.clear();
    ++m_generation;
    return wasOpen;
}

void Device::MarkLost(std::uint64_t generation) {
    std::lock_guard lock(m_mutex);
    if (generation != m_generation) return;
    m_lost = true;
    m_idle.clear();
}

bool Device::Control(std::uint32_t code, const void* request, std::uint32_t requestLength,
                     void* reply, std::uint32_t replyLength, std::uint32_t* returned) {
    if (returned) *returned = 0;
    if (!request || requestLength == 0 || requestLength > kMaxPayload) return false;
    if (replyLength > 0 && !reply) return false;

    std::unique_ptr<ControlClient> client;
    std::uint64_t generation;
    std::string socketPath;
    {
        std::lock_guard lock(m_mutex);
        if (m_socketPath.empty() || m_lost) return false;
        generation = m_generation;
        socketPath = m_socketPath;
        if (!m_idle.empty()) {
            client = std::move(m_idle.back());
            m_idle.pop_back();
        }
    }
    if (!client) client = ControlClient::Connect(socketPath);
    const auto* bytes = static_cast<const std::uint8_t*>(request);
    const auto response =
        client ? client->Call({RequestKind::Frame, code, std::min(replyLength, kMaxPayload),
                               std::vector<std::uint8_t>(bytes, bytes + requestLength)})
               : std::nullopt;
    if (!response) {
        MarkLost(generation);
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        if (generation == m_generation && !m_lost) m_idle.push_back(std::move(client));
    }
    if (!response->ok || response->payload.size() > replyLength) return false;
    if (!response->payload.empty())
        std::memcpy(reply, response->payload.data(), response->payload.size());
    if (returned) *returned = static_cast<std::uint32_t>(response->payload.size());
    return true;
}

bool Device::Write(const void* data, std::uint32_t length, std::uint32_t* written) {
    if (written) *written = 0;
    if (length > 0 && !data) return false;
    std::lock_guard jobLock(m_jobMutex);
    std::string jobPath;
    std::uint64_t generation;
    {
        std::lock_guard lock(m_mutex);
        if (m_socketPath.empty() || m_lost) return false;
        jobPath = m_jobPath;
        generation = m_generation;
    }
    if (!m_job.Valid() || m_jobGeneration != generation) {
        m_job = ConnectUnix(jobPath);
        m_jobGeneration = generation;
        if (!m_job.Valid()) return false;
    }
    pollfd ready{m_job.Get(), POLLOUT, 0};
    const int polled = ::poll(&ready, 1, kWriteSliceMs);
    if (polled < 0 && errno == EINTR) return true;
    if (polled == 0) return true;  // the machine's memory is full: nothing taken yet
    if (polled > 0 && !(ready.revents & (POLLERR | POLLHUP))) {
        const ssize_t sent = ::send(m_job.Get(), data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            if (written) *written = static_cast<std::uint32_t>(sent);
            return true;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
    }
    // The host has gone: what this document still holds cannot follow on.
    m_job.Reset();
    return false;
}

}  // namespace sim
