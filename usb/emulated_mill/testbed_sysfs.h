#pragma once
// The umockdev testbed's tree, as the mills change it: devices added and
// removed with their uevents, attributes and links set, device nodes handed
// to an ioctl handler. One lock, since usblp binds and unbinds on umockdev's
// worker thread (a client's detach) as well as on the test thread.
#include <umockdev.h>

#include <mutex>
#include <set>
#include <string>

namespace usbemu {

class TestbedSysfs {
public:
    explicit TestbedSysfs(UMockdevTestbed* testbed);

    std::string Root() const { return m_root; }  // UMOCKDEV_DIR

    // Adds umockdev text records; each device sends its "add" uevent.
    // Throws std::runtime_error when umockdev refuses them.
    void Add(const std::string& records);
    // Sends the "remove" uevent of the device and removes it with everything below it.
    void Remove(const std::string& sysPath);
    void Uevent(const std::string& sysPath, const char* action);
    void SetAttribute(const std::string& sysPath, const std::string& name,
                      const std::string& value);
    void SetLink(const std::string& sysPath, const std::string& name, const std::string& target);
    // Removes an attribute or link umockdev has no call for removing.
    void RemoveEntry(const std::string& sysPath, const std::string& name);
    // Keeps a removed device node's path inside the testbed, dangling, so
    // that an open fails there instead of falling through to the real /dev.
    void Hide(const std::string& devNode);

    bool Attach(const std::string& devNode, UMockdevIoctlBase* handler);
    void Detach(const std::string& devNode);

    // The usbmisc minors of the printer driver's nodes, lowest free first, as usblp takes them.
    int TakePrinterMinor();
    void ReturnPrinterMinor(int minor);

private:
    std::mutex m_mutex;
    UMockdevTestbed* m_testbed;
    std::string m_root;
    std::string m_sysDir;
    std::set<int> m_printerMinors;
};

}  // namespace usbemu
