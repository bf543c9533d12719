#include "driver/embedded_hosts.h"

#include <unistd.h>

#include <cstdio>

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
    std::lock_guard lock(m_mutex);
    if (m_hosts.count(profile.name)) return true;
    std::string error;
    auto host = MachineHost::Start(profile, options, error);
    if (!host) return false;
    m_hosts.emplace(profile.name, std::move(host));
    return true;
}

}  // namespace sim
