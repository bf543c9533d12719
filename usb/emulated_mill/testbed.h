#pragma once
// The umockdev testbed of a test process, with the USB buses and hubs that
// emulated mills hang on. umockdev's testbed is one per process (it sets
// UMOCKDEV_DIR for the whole process), so only one Testbed may exist at a
// time, and it must exist before any libusb_init of the process and outlive
// every libusb context. Make it and its mills on the test's own thread,
// before other threads start (setenv is not thread-safe).
//
// The process has to run under libumockdev-preload (see preload.h).
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "emulated_mill.h"
#include "gobject_ptr.h"
#include "mill_options.h"
#include "port_path.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace usbemu {

class TestbedSysfs;
class UsbfsHandler;

class Testbed {
public:
    // Throws std::logic_error while another Testbed exists.
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // Plugs in a mill, with the hubs on its port path. Throws
    // std::invalid_argument for bad options or a port already taken.
    EmulatedMill& AddMill(const MillOptions& options = {});

    const std::string& Root() const { return m_root; }  // UMOCKDEV_DIR
    // What a child process needs in its environment to see this testbed:
    // UMOCKDEV_DIR and LD_PRELOAD.
    std::map<std::string, std::string> ChildEnvironment() const;
    // This process's environment ("NAME=value" entries, for posix_spawn or
    // execve) with those and `extra` put in.
    std::vector<std::string> ChildEnvironmentEntries(
        const std::map<std::string, std::string>& extra = {}) const;

private:
    struct Plugged {
        std::shared_ptr<EmulatedMill> mill;
        std::unique_ptr<UsbfsHandler> handler;
    };

    void AddRootHub(int bus);
    void AddHubs(const usbemu::PortPath& path);
    int NextAddress(int bus) { return m_nextAddress[bus]++; }

    GObjectPtr<UMockdevTestbed> m_testbed;
    std::string m_root;
    std::unique_ptr<TestbedSysfs> m_sysfs;
    std::map<int, int> m_nextAddress;  // per bus: devices are never renumbered
    std::set<std::string> m_hubs;      // sysfs names
    std::vector<Plugged> m_mills;
};

}  // namespace usbemu
