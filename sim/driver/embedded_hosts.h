#pragma once
// Hosts that the driver starts inside the calling process when it finds none
// for a machine, so that the program runs with nothing else started. They
// stop, and their threads are joined, when the process exits.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "host/machine_host.h"

namespace sim {

class EmbeddedHosts {
public:
    static EmbeddedHosts& Instance();
    ~EmbeddedHosts();

    // Starts a host for the model in the options' folder unless this process
    // already runs one there. False
    // when none could start (another process's host may have won the race).
    bool Ensure(const MachineProfile& profile, const HostOptions& options);

private:
    EmbeddedHosts();

    std::mutex m_mutex;
    std::map<std::string, std::unique_ptr<MachineHost>> m_hosts;
    int m_ownerPid;  // a forked child must not touch its parent's threads
};

}  // namespace sim
