#include "host/machine_host.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "host/control_wire.h"
#include "host/runtime_dir.h"
#include "host/unix_socket.h"

namespace sim {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::chrono::milliseconds kBackPressurePause{10};
constexpr std::chrono::seconds kSendTimeout{5};

}  // namespace

MachineHost::MachineHost(const MachineProfile& profile, const HostOptions& options)
    : m_profile(profile),
      m_options(options),
      m_controlPath(ControlSocketPath(options.dir, profile.name)),
      m_jobPath(JobSocketPath(options.dir, profile.name)),
      m_jobPortPath(JobPortPath(options.dir, profile.name)),
      m_machine(profile, options.speed) {}

std::unique_ptr<MachineHost> MachineHost::Start(const MachineProfile& profile,
                                                const HostOptions& options, std::string& error) {
    std::unique_ptr<MachineHost> host(new MachineHost(profile, options));
    if (!host->Open(error)) return nullptr;
    host->m_acceptor = std::thread(&MachineHost::Accept, host.get());
    return host;
}

bool MachineHost::Open(std::string& error) {
    if (!PrepareRuntimeDir(m_options.dir, error)) return false;
    const std::string lockPath = HostLockPath(m_options.dir, m_profile.name);
    m_lock.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!m_lock.Valid()) {
        error = "cannot open " + lockPath + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(m_lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = std::string("a host for ") + m_profile.name + " is already running";
        m_lock.Reset();
        return false;
    }
    // Sockets left behind by a host that died are ours to replace.
    ::unlink(m_controlPath.c_str());
    ::unlink(m_jobPath.c_str());
    m_controlListener = ListenUnix(m_controlPath, error);
    if (m_controlListener.Valid()) m_jobListener = ListenUnix(m_jobPath, error);
    int port = 0;
    if (m_jobListener.Valid()) m_jobPortListener = ListenLoopback(port, error);
    int stop[2];
    if (!m_jobPortListener.Valid() || ::pipe2(stop, O_CLOEXEC) != 0) {
        ::unlink(m_controlPath.c_str());
        ::unlink(m_jobPath.c_str());
        return false;
    }
    std::ofstream(m_jobPortPath) << port << "\n";
    m_machine.SetJobPort(port);
    m_stopRead.Reset(stop[0]);
    m_stopWrite.Reset(stop[1]);
    return true;
}

MachineHost::~MachineHost() { Stop(); }

void MachineHost::Stop() {
    if (m_stopped) return;
    m_stopped = true;
    if (m_stopWrite.Valid()) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(m_stopWrite.Get(), &byte, 1);
    }
    if (m_acceptor.joinable()) m_acceptor.join();
    for (auto& worker : m_workers) worker.thread.join();
    m_workers.clear();
    if (m_lock.Valid()) {  // the sockets are ours only while we hold the lock
        ::unlink(m_controlPath.c_str());
        ::unlink(m_jobPath.c_str());
        ::unlink(m_jobPortPath.c_str());
    }
    m_controlListener.Reset();
    m_jobListener.Reset();
    m_jobPortListener.Reset();
    m_lock.Reset();
}

void MachineHost::Accept() {
    pollfd fds[4] = {{m_stopRead.Get(), POLLIN, 0},
                     {m_controlListener.Get(), POLLIN, 0},
                     {m_jobListener.Get(), POLLIN, 0},
                     {m_jobPortListener.Get(), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 4, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents) return;
        ReapFinished();
        for (int i = 1; i <= 3; ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            UniqueFd connection(::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC));
            if (!connection.Valid()) continue;
            Spawn(i == 1 ? &MachineHost::ServeControl : &MachineHost::ServeJob,
                  std::move(connection));
        }
    }
}

void MachineHost::Spawn(void (MachineHost::*serve)(int), UniqueFd connection) {
    // A client that stops reading its replies must not keep a thread, and so
    // Stop, waiting in a send for ever.
    const timeval sendTimeout{kSendTimeout.count(), 0};
    ::setsockopt(connection.Get(), SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    Worker& worker = m_workers.emplace_back();
    worker.thread = std::thread([this, serve, &worker, fd = std::move(connection)]() {
        (this->*serve)(fd.Get());
        worker.done = true;
    });
}

void MachineHost::ReapFinished() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (!it->done) {
            ++it;
            continue;
        }
        it->thread.join();
        it = m_workers.erase(it);
    }
}

void MachineHost::ServeControl(int fd) {
    const Deadline untilStop{m_stopRead.Get()};
    while (auto request = ReceiveRequest(fd, untilStop)) {
        ControlResponse response;
        if (request->kind == RequestKind::Text) {
            response =
                m_machine.HandleText(std::string(request->payload.begin(), request->payload.end()));
        } else {
            auto answer = m_machine.HandleFrame(*request);
            if (!answer) return;  // the machine is gone: so is the connection
            response = std::move(*answer);
            if (!SleepUnlessStopped(m_stopRead.Get(), m_options.latency)) return;
        }
        if (!SendResponse(fd, response)) return;
    }
}

void MachineHost::ServeJob(int fd) {
    const Deadline untilStop{m_stopRead.Get()};
    std::vector<std::uint8_t> buffer(kReadChunk);
    while (WaitReadable(fd, untilStop)) {
        const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;  // end of document
        while (m_machine.JobBytesQueued() > m_options.jobMemory) {
            if (!SleepUnlessStopped(m_stopRead.Get(), kBackPressurePause)) return;
        }
        m_machine.ReceiveJobData({buffer.data(), static_cast<std::size_t>(got)});
        m_jobBytes += static_cast<std::uint64_t>(got);
    }
}

}  // namespace sim
