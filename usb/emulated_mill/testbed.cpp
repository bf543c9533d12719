#include "testbed.h"

#include <umockdev.h>

#include <atomic>
#include <stdexcept>

extern char** environ;

#include "descriptors.h"
#include "preload.h"
#include "sysfs_records.h"
#include "testbed_sysfs.h"
#include "usbfs_handler.h"

namespace usbemu {

namespace {

// umockdev's testbed lives in the process environment: one at a time.
std::atomic<bool> g_testbedExists{false};

constexpr int kHubPorts = 7;

std::string HubRecords(const std::string& sysPath, int bus, int address, const std::string& devPath,
                       bool root) {
    return DeviceRecords({.sysPath = sysPath,
                          .bus = bus,
                          .address = address,
                          .devPath = devPath,
                          .speed = "480",
                          .descriptors = HubDescriptors(root),
                          .maxChild = kHubPorts});
}

}  // namespace

Testbed::Testbed() {
    if (g_testbedExists.exchange(true)) throw std::logic_error("a testbed exists already");
    m_testbed.reset(umockdev_testbed_new());
    m_sysfs = std::make_unique<TestbedSysfs>(m_testbed.get());
    m_root = m_sysfs->Root();
    // libusb looks for /dev/bus/usb and /sys/bus/usb/devices when it starts:
    // bus 1 is there before any mill.
    AddRootHub(1);
}

Testbed::~Testbed() {
    for (auto& plugged : m_mills) plugged.mill->Close();
    m_mills.clear();  // detaches the handlers; umockdev's calls in progress keep their mill
    m_sysfs.reset();
    m_testbed.reset();
    g_testbedExists = false;
}

std::map<std::string, std::string> Testbed::ChildEnvironment() const {
    return {{"UMOCKDEV_DIR", m_root}, {"LD_PRELOAD", ChildPreload()}};
}

std::vector<std::string> Testbed::ChildEnvironmentEntries(
    const std::map<std::string, std::string>& extra) const {
    std::map<std::string, std::string> own = ChildEnvironment();
    own.insert(extra.begin(), extra.end());
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!own.count(entry.substr(0, entry.find('=')))) entries.push_back(entry);
    }
    for (const auto& [name, value] : own) entries.push_back(name + "=" + value);
    return entries;
}

void Testbed::AddRootHub(int bus) {
    if (m_nextAddress.count(bus)) return;
    m_nextAddress[bus] = 1;
    m_sysfs->Add(HubRecords(RootHubSysPath(bus), bus, NextAddress(bus), "0", true));
    m_hubs.insert(RootHubName(bus));
}

void Testbed::AddHubs(const usbemu::PortPath& path) {
    AddRootHub(path.bus);
    usbemu::PortPath hub{path.bus, {}};
    for (std::size_t i = 0; i + 1 < path.ports.size(); ++i) {
        hub.ports.push_back(path.ports[i]);
        if (!m_hubs.insert(hub.Name()).second) continue;
        m_sysfs->Add(
            HubRecords(DeviceSysPath(hub), hub.bus, NextAddress(hub.bus), hub.DevPath(), false));
    }
}

EmulatedMill& Testbed::AddMill(const MillOptions& options) {
    const MillOptions resolved = WithDefaults(options);
    const usbemu::PortPath path = *ParsePortPath(resolved.portPath);
    if (m_hubs.count(path.Name())) throw std::invalid_argument("a hub sits at " + path.Name());
    for (const auto& plugged : m_mills) {
        const std::string& taken = plugged.mill->PortPath();
        if (taken == path.Name() || path.Name().rfind(taken + ".", 0) == 0)
            throw std::invalid_argument("a mill sits at " + taken);
    }
    AddHubs(path);
    auto mill = std::make_shared<EmulatedMill>(resolved, NextAddress(path.bus), *m_sysfs);
    m_sysfs->Add(mill->Records());
    if (resolved.usblp) mill->BindUsblp();
    auto handler = std::make_unique<UsbfsHandler>(*m_sysfs, mill);
    m_mills.push_back({mill, std::move(handler)});
    return *mill;
}

}  // namespace usbemu
