#include "driver/embedded_hosts.h"

#include <unistd.h>

#include "host/runtime_dir.h"

namespace sim {

EmbeddedHosts::EmbeddedHosts() : m_ownerPid(::getpid()) {}

EmbeddedHosts& EmbeddedHosts::Instance() {
    static EmbeddedHosts hosts;
    return hosts;
}

EmbeddedHosts::~EmbeddedHosts() {
    std::lock_guard lock(m_mutex);
    if (::getpid() != m_ownerPid) {
        // The threads belong to the parent; in this copy of its memory they do
        // not exist, so the hosts are dropped without being stopped.
        for (auto& entry : m_hosts) static_cast<void>(entry.second.release());
    }
    m_hosts.clear();
}

bool EmbeddedHosts::Ensure(const MachineProfile& profile, const HostOptions& options) {
    // One host per socket folder and model: the folder can differ between opens.
    const std::string key = ControlSocketPath(options.dir, profile.name);
    std::lock_guard lock(m_mutex);
    if (m_hosts.count(key)) return true;
    std::string error;
    auto host = MachineHost::Start(profile, options, error);
    if (!host) return false;
    m_hosts.emplace(key, std::move(host));
    return true;
}

}  // namespace sim
