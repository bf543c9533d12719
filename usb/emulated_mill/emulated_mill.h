#pragma once
// One emulated mill on a testbed: a USB printer-class device as usbfs shows
// it (claims per client, the kernel's printer driver usblp, URBs), with the
// simulated machine behind its vendor requests and its bulk OUT endpoint.
//
// usbfs calls arrive on umockdev's worker thread; the knobs and logs below
// are for the test thread. One lock guards all of it.
#include <chrono>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "control_endpoint.h"
#include "gobject_ptr.h"
#include "host/hosted_machine.h"
#include "mill_options.h"
#include "port_path.h"
#include "urb.h"

namespace usbemu {

class TestbedSysfs;

// What an ioctl returns to the client.
struct IoctlAnswer {
    long result = 0;
    int error = 0;  // errno, when result is -1
};

// One control transfer as the mill saw it.
struct ControlTransfer {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
    std::vector<std::uint8_t> data;  // OUT: the data stage; IN: the reply sent
    ControlResult result = ControlResult::Done;
    // When the mill got it: latencies are measured against this.
    std::chrono::steady_clock::time_point arrived{};
};

class EmulatedMill {
public:
    // `options` with defaults filled in (WithDefaults). The testbed makes mills.
    EmulatedMill(const MillOptions& options, int address, TestbedSysfs& sysfs);
    EmulatedMill(const EmulatedMill&) = delete;
    EmulatedMill& operator=(const EmulatedMill&) = delete;

    const MillOptions& Options() const { return m_options; }
    const std::string& PortPath() const { return m_options.portPath; }
    int Bus() const { return m_port.bus; }
    int Address() const { return m_address; }
    const std::string& DevNode() const { return m_devNode; }  // /dev/bus/usb/BBB/DDD
    const std::string& SysPath() const { return m_sysPath; }  // below /sys
    // The printer interface's sysfs path, below /sys.
    std::string InterfaceSysPath() const;
    // The simulated machine: its HandleText runs the simulator's commands.
    sim::HostedMachine& Machine() { return m_machine; }

    // Pulls the cable: URBs in flight complete with -ESHUTDOWN (handed back
    // at the next reap), every later call fails with ENODEV, and the device
    // leaves the testbed with its remove uevent.
    void Unplug();
    bool Unplugged() const;

    // Vendor requests with this opcode, or all of them, stall (EPIPE).
    void StallOpcode(std::uint8_t opcode);
    void StallEveryRequest();
    void StopStalling();
    // Control requests get no answer while held: they complete only when discarded.
    void HoldReplies(bool hold);
    // Job data is NAKed while refused: bulk OUT URBs stay pending.
    void RefuseJobData(bool refuse);
    // usblp binds (as on plug-in or modprobe) and unbinds as the kernel's
    // driver would. Binding fails while a client has claimed the interface,
    // on a non-printer interface and when already bound.
    bool BindUsblp();
    bool UnbindUsblp();
    bool UsblpBound() const;

    // The latest kControlLogSize control transfers, oldest first, and how many there were in all.
    static constexpr std::size_t kControlLogSize = 1 << 16;
    std::vector<ControlTransfer> ControlTransfers() const;
    std::uint64_t ControlTransferCount() const;
    void ClearControlTransfers();
    std::uint64_t JobBytesReceived() const;
    std::vector<std::uint8_t> JobBytes() const;  // the first Options().keptJobBytes
    std::size_t UrbsInFlight() const;
    // The ioctl requests the emulation does not know, each once; they got ENOTTY.
    std::vector<unsigned long> UnknownIoctls() const;
    bool Claimed(unsigned interface) const;  // by any client

private:
    friend class Testbed;
    friend class UsbfsHandler;

    struct Client {
        GObjectPtr<UMockdevIoctlClient> ref;  // keeps its address from being reused
        std::uint32_t claimed = 0;            // bit n: interface n
        std::list<std::unique_ptr<Urb>> completed;
    };

    // The testbed's side.
    std::string Records() const;
    void Close();  // the testbed goes: nothing reaches the machine any more
    void HandleIoctl(UMockdevIoctlClient* client);
    void ClientVanished(UMockdevIoctlClient* client);
    void Forget(UMockdevIoctlClient* client);
    void ForgetClosedClients();  // seen at the next ioctl of any client

    IoctlAnswer Dispatch(UMockdevIoctlClient* client, unsigned long request,
                         std::unique_ptr<Urb>& handedBack);
    IoctlAnswer Claim(UMockdevIoctlClient* client, unsigned interface);
    IoctlAnswer Release(UMockdevIoctlClient* client, unsigned interface);
    IoctlAnswer DriverIoctl(UMockdevIoctlClient* client);
    IoctlAnswer GetDriver(UMockdevIoctlClient* client);
    IoctlAnswer DisconnectClaim(UMockdevIoctlClient* client);
    IoctlAnswer SetConfiguration(UMockdevIoctlClient* client);
    IoctlAnswer SetInterface(UMockdevIoctlClient* client);
    IoctlAnswer ClearHalt(UMockdevIoctlClient* client);
    IoctlAnswer Reset();
    IoctlAnswer Submit(UMockdevIoctlClient* client);
    IoctlAnswer SubmitControl(std::unique_ptr<Urb> urb);
    IoctlAnswer SubmitBulk(std::unique_ptr<Urb> urb);
    IoctlAnswer Discard(UMockdevIoctlClient* client);
    IoctlAnswer Reap(UMockdevIoctlClient* client, std::unique_ptr<Urb>& handedBack);

    Client& ClientOf(UMockdevIoctlClient* client);
    bool HasInterface(unsigned interface) const { return interface <= m_options.printerInterface; }
    UMockdevIoctlClient* Claimant(unsigned interface) const;
    std::string DriverName(unsigned interface) const;  // "usblp", "usbfs" or empty
    void DropClaim(UMockdevIoctlClient* client, unsigned interface);
    bool BindUsblpLocked();
    bool UnbindUsblpLocked();
    void Pump();  // delivers answers that are due and feeds job data
    void Feed(Urb& urb);
    // Moves a URB from flight to its client's completed ones, with the outcome set on it.
    void Complete(std::list<std::unique_ptr<Urb>>::iterator urb);
    void Log(const SetupPacket& setup, std::span<const std::uint8_t> data, ControlResult result);
    bool RefusedByUsbfs(UMockdevIoctlClient* client, const SetupPacket& setup) const;
    bool IsBulkEndpoint(unsigned endpoint) const;
    std::string InterfaceSysPath(unsigned interface) const;

    const MillOptions m_options;
    const usbemu::PortPath m_port;
    const int m_address;
    const std::string m_devNode;
    const std::string m_sysPath;
    TestbedSysfs& m_sysfs;

    mutable std::mutex m_mutex;
    sim::HostedMachine m_machine;
    ControlEndpoint m_control;
    std::map<UMockdevIoctlClient*, Client> m_clients;
    std::list<std::unique_ptr<Urb>> m_inFlight;  // in submit order
    std::optional<int> m_printerMinor;           // usblp bound: its lp<minor>
    bool m_unplugged = false;
    bool m_closed = false;
    bool m_refusingJobData = false;
    std::deque<ControlTransfer> m_controlLog;
    std::uint64_t m_controlTransfers = 0;
    std::uint64_t m_jobBytes = 0;
    std::vector<std::uint8_t> m_keptJobBytes;
    std::vector<unsigned long> m_unknownIoctls;
};

}  // namespace usbemu
