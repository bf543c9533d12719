#pragma once
// Serves one machine on its two Unix sockets: the control channel (device
// calls and simulator commands) and the job channel (raw job data, one
// connection per document). Each connection gets a thread; the host holds a
// lock file for as long as it runs, so only one host serves a model.
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "host/host_options.h"
#include "host/hosted_machine.h"
#include "host/unique_fd.h"
#include "machine/profile.h"

namespace sim {

// Job data waiting beyond this makes the host stop reading, so that the
// sender waits as it would for a full printer.

class MachineHost {
public:
    // Null, with the reason in `error`, when another host already serves this
    // model or the sockets cannot be made.
    static std::unique_ptr<MachineHost> Start(const MachineProfile& profile,
                                              const HostOptions& options, std::string& error);
    ~MachineHost();
    MachineHost(const MachineHost&) = delete;
    MachineHost& operator=(const MachineHost&) = delete;

    // Closes the sockets, ends every connection and joins all threads.
    void Stop();

    HostedMachine& Machine() { return m_machine; }
    std::uint64_t JobBytesReceived() const { return m_jobBytes.load(); }

private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    MachineHost(const MachineProfile& profile, const HostOptions& options);
    bool Open(std::string& error);
    void Accept();
    void Spawn(void (MachineHost::*serve)(int), UniqueFd connection);
    void ReapFinished();
    void ServeControl(int fd);
    void ServeJob(int fd);

    const MachineProfile& m_profile;
    HostOptions m_options;
    std::string m_controlPath, m_jobPath;
    UniqueFd m_lock, m_controlListener, m_jobListener, m_jobPortListener;
    std::string m_jobPortPath;
    UniqueFd m_stopRead, m_stopWrite;  // readable once the host stops
    HostedMachine m_machine;
    std::atomic<std::uint64_t> m_jobBytes{0};
    std::thread m_acceptor;
    std::list<Worker> m_workers;  // touched by the acceptor only, until it is joined
    bool m_stopped = false;
};

}  // namespace sim
