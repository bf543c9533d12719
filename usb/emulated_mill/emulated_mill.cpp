#include "emulated_mill.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "descriptors.h"
#include "ioctl_arg.h"
#include "machine/profile.h"
#include "sysfs_records.h"
#include "testbed_sysfs.h"

namespace usbemu {

namespace {

using Clock = std::chrono::steady_clock;

// One URB carries a whole bulk transfer (scatter-gather, no packet size
// limit), and URBs are handed back after an unplug, as a current kernel does.
constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                        USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
// usbfs' default bound on the memory of one URB (usbfs_memory_mb).
constexpr std::size_t kMaxBuffer = 16u << 20;
constexpr char kUsblp[] = "usblp";
constexpr char kUsbfs[] = "usbfs";
constexpr unsigned kMaxInterfaces = 32;

IoctlAnswer Ok(long result = 0) { return {result, 0}; }
IoctlAnswer Fail(int error) { return {-1, error}; }

std::uint32_t Bit(unsigned interface) { return std::uint32_t{1} << interface; }

}  // namespace

EmulatedMill::EmulatedMill(const MillOptions& options, int address, TestbedSysfs& sysfs)
    : m_options(options),
      m_port(*ParsePortPath(options.portPath)),
      m_address(address),
      m_devNode(DevNodePath(m_port.bus, address)),
      m_sysPath(DeviceSysPath(m_port)),
      m_sysfs(sysfs),
      m_machine(*sim::FindProfile(options.model), options.speed),
      m_control(m_options, m_machine) {}

std::string EmulatedMill::InterfaceSysPath(unsigned interface) const {
    return m_sysPath + "/" + InterfaceName(m_port.Name(), static_cast<int>(interface));
}

std::string EmulatedMill::InterfaceSysPath() const {
    return InterfaceSysPath(m_options.printerInterface);
}

std::string EmulatedMill::Records() const {
    return DeviceRecords({.sysPath = m_sysPath,
                          .bus = m_port.bus,
                          .address = m_address,
                          .devPath = m_port.DevPath(),
                          .descriptors = MillDescriptors(m_options),
                          .manufacturer = m_options.manufacturer,
                          .product = m_options.product,
                          .serial = m_options.serial});
}

// --- knobs ----------------------------------------------------------------

void EmulatedMill::Unplug() {
    std::lock_guard lock(m_mutex);
    if (m_unplugged || m_closed) return;
    UnbindUsblpLocked();
    m_unplugged = true;
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        (*it)->status = -ESHUTDOWN;
        Complete(it++);
    }
    for (unsigned i = 0; HasInterface(i); ++i) m_sysfs.Uevent(InterfaceSysPath(i), "remove");
    m_sysfs.Remove(m_sysPath);
    m_sysfs.Hide(m_devNode);
}

bool EmulatedMill::Unplugged() const {
    std::lock_guard lock(m_mutex);
    return m_unplugged;
}

void EmulatedMill::StallOpcode(std::uint8_t opcode) {
    std::lock_guard lock(m_mutex);
    m_control.StallOpcode(opcode);
}

void EmulatedMill::StallEveryRequest() {
    std::lock_guard lock(m_mutex);
    m_control.StallEveryRequest();
}

void EmulatedMill::StopStalling() {
    std::lock_guard lock(m_mutex);
    m_control.StopStalling();
}

void EmulatedMill::HoldReplies(bool hold) {
    std::lock_guard lock(m_mutex);
    m_control.HoldReplies(hold);
}

void EmulatedMill::RefuseJobData(bool refuse) {
    std::lock_guard lock(m_mutex);
    m_refusingJobData = refuse;
}

bool EmulatedMill::BindUsblp() {
    std::lock_guard lock(m_mutex);
    return BindUsblpLocked();
}

bool EmulatedMill::UnbindUsblp() {
    std::lock_guard lock(m_mutex);
    return UnbindUsblpLocked();
}

bool EmulatedMill::UsblpBound() const {
    std::lock_guard lock(m_mutex);
    return m_printerMinor.has_value();
}

std::vector<ControlTransfer> EmulatedMill::ControlTransfers() const {
    std::lock_guard lock(m_mutex);
    return {m_controlLog.begin(), m_controlLog.end()};
}

std::uint64_t EmulatedMill::ControlTransferCount() const {
    std::lock_guard lock(m_mutex);
    return m_controlTransfers;
}

void EmulatedMill::ClearControlTransfers() {
    std::lock_guard lock(m_mutex);
    m_controlLog.clear();
}

std::uint64_t EmulatedMill::JobBytesReceived() const {
    std::lock_guard lock(m_mutex);
    return m_jobBytes;
}

std::vector<std::uint8_t> EmulatedMill::JobBytes() const {
    std::lock_guard lock(m_mutex);
    return m_keptJobBytes;
}

std::size_t EmulatedMill::UrbsInFlight() const {
    std::lock_guard lock(m_mutex);
    return m_inFlight.size();
}

std::vector<unsigned long> EmulatedMill::UnknownIoctls() const {
    std::lock_guard lock(m_mutex);
    return m_unknownIoctls;
}

bool EmulatedMill::Claimed(unsigned interface) const {
    std::lock_guard lock(m_mutex);
    return Claimant(interface) != nullptr;
}

// --- the testbed's side -----------------------------------------------------

void EmulatedMill::Close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_inFlight.clear();
    m_clients.clear();
}

void EmulatedMill::HandleIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    std::unique_ptr<Urb> handedBack;  // its memory goes back to the client on completion
    IoctlAnswer answer;
    try {
        std::lock_guard lock(m_mutex);
        answer = Dispatch(client, request, handedBack);
    } catch (const std::exception& e) {
        // Nothing may escape into umockdev's worker thread: the call fails instead.
        std::fprintf(stderr, "emulated mill %s: ioctl %#lx failed: %s\n", m_devNode.c_str(),
                     request, e.what());
        answer = Fail(EIO);
    }
    umockdev_ioctl_client_complete(client, answer.result, answer.error);
}

void EmulatedMill::ClientVanished(UMockdevIoctlClient* client) {
    std::lock_guard lock(m_mutex);
    Forget(client);
}

void EmulatedMill::Forget(UMockdevIoctlClient* client) {
    // A closed file loses its claims and its URBs, as usbfs' release does.
    m_inFlight.remove_if([client](const auto& urb) { return urb->Client() == client; });
    m_clients.erase(client);
}

void EmulatedMill::ForgetClosedClients() {
    // umockdev 0.17 does not emit "client-vanished" when a client closes the
    // node (or ends); its client is no longer "connected", though. Without
    // this, a closed file's claim would refuse every other client for ever.
    std::vector<UMockdevIoctlClient*> closed;
    for (const auto& [client, state] : m_clients) {
        if (!umockdev_ioctl_client_get_connected(client)) closed.push_back(client);
    }
    for (UMockdevIoctlClient* client : closed) Forget(client);
}

IoctlAnswer EmulatedMill::Dispatch(UMockdevIoctlClient* client, unsigned long request,
                                   std::unique_ptr<Urb>& handedBack) {
    if (m_closed) return Fail(ENODEV);
    // After an unplug only the URBs that were in flight are still to be had.
    if (m_unplugged && request != USBDEVFS_REAPURBNDELAY) return Fail(ENODEV);
    ForgetClosedClients();
    Pump();
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES:
            return WriteArg(client, kCapabilities) ? Ok() : Fail(EFAULT);
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            const auto interface = ReadArg<unsigned>(client);
            if (!interface) return Fail(EFAULT);
            return request == USBDEVFS_CLAIMINTERFACE ? Claim(client, *interface)
                                                      : Release(client, *interface);
        }
        case USBDEVFS_IOCTL:
            return DriverIoctl(client);
        case USBDEVFS_GETDRIVER:
            return GetDriver(client);
        case USBDEVFS_DISCONNECT_CLAIM:
            return DisconnectClaim(client);
        case USBDEVFS_SETCONFIGURATION:
            return SetConfiguration(client);
        case USBDEVFS_SETINTERFACE:
            return SetInterface(client);
        case USBDEVFS_CLEAR_HALT:
            return ClearHalt(client);
        case USBDEVFS_RESET:
            return Reset();
        case USBDEVFS_SUBMITURB:
            return Submit(client);
        case USBDEVFS_DISCARDURB:
            return Discard(client);
        case USBDEVFS_REAPURBNDELAY:
            return Reap(client, handedBack);
        default:
            if (std::find(m_unknownIoctls.begin(), m_unknownIoctls.end(), request) ==
                m_unknownIoctls.end())
                m_unknownIoctls.push_back(request);
            return Fail(ENOTTY);
    }
}

// --- claims and drivers -----------------------------------------------------

EmulatedMill::Client& EmulatedMill::ClientOf(UMockdevIoctlClient* client) {
    auto [it, added] = m_clients.try_emplace(client);
    if (added) it->second.ref.reset(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
    return it->second;
}

UMockdevIoctlClient* EmulatedMill::Claimant(unsigned interface) const {
    if (interface >= kMaxInterfaces) return nullptr;
    for (const auto& [client, state] : m_clients) {
        if (state.claimed & Bit(interface)) return client;
    }
    return nullptr;
}

std::string EmulatedMill::DriverName(unsigned interface) const {
    if (interface == m_options.printerInterface && m_printerMinor) return kUsblp;
    return Claimant(interface) ? kUsbfs : "";
}

bool EmulatedMill::IsBulkEndpoint(unsigned endpoint) const {
    return endpoint == kJobEndpoint ||
           (endpoint == kBackChannelEndpoint && m_options.printerProtocol == 2);
}

void EmulatedMill::DropClaim(UMockdevIoctlClient* client, unsigned interface) {
    ClientOf(client).claimed &= ~Bit(interface);
    if (interface != m_options.printerInterface) return;  // the others have no endpoints
    // usbfs kills the URBs of an interface it lets go of.
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        if ((*it)->Client() == client && (*it)->Type() == USBDEVFS_URB_TYPE_BULK) {
            (*it)->status = -ENOENT;
            Complete(it++);
        } else {
            ++it;
        }
    }
}

IoctlAnswer EmulatedMill::Claim(UMockdevIoctlClient* client, unsigned interface) {
    if (interface >= kMaxInterfaces) return Fail(EINVAL);
    if (!HasInterface(interface)) return Fail(ENOENT);
    Client& state = ClientOf(client);
    if (state.claimed & Bit(interface)) return Ok();
    if (!DriverName(interface).empty()) return Fail(EBUSY);
    state.claimed |= Bit(interface);
    return Ok();
}

IoctlAnswer EmulatedMill::Release(UMockdevIoctlClient* client, unsigned interface) {
    if (interface >= kMaxInterfaces || !(ClientOf(client).claimed & Bit(interface)))
        return Fail(EINVAL);
    DropClaim(client, interface);
    return Ok();
}

IoctlAnswer EmulatedMill::DriverIoctl(UMockdevIoctlClient* client) {
    const auto command = ReadArg<usbdevfs_ioctl>(client);
    if (!command) return Fail(EFAULT);
    if (command->ifno < 0 || !HasInterface(static_cast<unsigned>(command->ifno)))
        return Fail(EINVAL);
    const auto interface = static_cast<unsigned>(command->ifno);
    const std::string driver = DriverName(interface);
    switch (static_cast<unsigned>(command->ioctl_code)) {
        case USBDEVFS_DISCONNECT:
            if (driver.empty()) return Fail(ENODATA);
            if (driver == kUsblp) {
                UnbindUsblpLocked();
            } else {
                DropClaim(Claimant(interface), interface);
            }
            return Ok();
        case USBDEVFS_CONNECT:
            // The kernel probes its drivers: usblp takes a printer interface
            // when it is there; the result says whether one bound.
            if (!driver.empty()) return Fail(EBUSY);
            return Ok(interface == m_options.printerInterface && m_options.usblp &&
                              BindUsblpLocked()
                          ? 1
                          : 0);
        default:
            return Fail(ENOTTY);  // neither usblp nor usbfs has ioctls of its own here
    }
}

IoctlAnswer EmulatedMill::GetDriver(UMockdevIoctlClient* client) {
    auto query = ReadArg<usbdevfs_getdriver>(client);
    if (!query) return Fail(EFAULT);
    const std::string driver = HasInterface(query->interface) ? DriverName(query->interface) : "";
    if (driver.empty()) return Fail(ENODATA);
    std::snprintf(query->driver, sizeof query->driver, "%s", driver.c_str());
    return WriteArg(client, *query) ? Ok() : Fail(EFAULT);
}

IoctlAnswer EmulatedMill::DisconnectClaim(UMockdevIoctlClient* client) {
    const auto request = ReadArg<usbdevfs_disconnect_claim>(client);
    if (!request) return Fail(EFAULT);
    const unsigned interface = request->interface;
    if (!HasInterface(interface)) return Fail(EINVAL);
    const std::string driver = DriverName(interface);
    if (!driver.empty()) {
        const std::string named(request->driver, strnlen(request->driver, sizeof request->driver));
        if ((request->flags & USBDEVFS_DISCONNECT_CLAIM_IF_DRIVER) && named != driver)
            return Fail(EBUSY);
        if ((request->flags & USBDEVFS_DISCONNECT_CLAIM_EXCEPT_DRIVER) && named == driver)
            return Fail(EBUSY);
        if (driver == kUsblp) {
            UnbindUsblpLocked();
        } else if (Claimant(interface) != client) {
            DropClaim(Claimant(interface), interface);
        }
    }
    return Claim(client, interface);
}

IoctlAnswer EmulatedMill::SetConfiguration(UMockdevIoctlClient* client) {
    const auto value = ReadArg<int>(client);
    if (!value) return Fail(EFAULT);
    for (unsigned i = 0; HasInterface(i); ++i) {
        if (!DriverName(i).empty()) return Fail(EBUSY);  // as the kernel: no driver may hold one
    }
    // Choosing the one configuration again resets nothing that is emulated;
    // unconfiguring (0 or -1) is not emulated and fails.
    return *value == kConfigurationValue ? Ok() : Fail(EINVAL);
}

IoctlAnswer EmulatedMill::SetInterface(UMockdevIoctlClient* client) {
    const auto request = ReadArg<usbdevfs_setinterface>(client);
    if (!request) return Fail(EFAULT);
    if (!HasInterface(request->interface)) return Fail(EINVAL);
    if (!(ClientOf(client).claimed & Bit(request->interface))) return Fail(EBUSY);
    return request->altsetting == 0 ? Ok() : Fail(EINVAL);  // one alternate setting each
}

IoctlAnswer EmulatedMill::ClearHalt(UMockdevIoctlClient* client) {
    const auto endpoint = ReadArg<unsigned>(client);
    if (!endpoint) return Fail(EFAULT);
    if (!IsBulkEndpoint(*endpoint)) return Fail(ENOENT);
    // The bulk endpoints never halt: clearing is accepted from the claimant.
    return ClientOf(client).claimed & Bit(m_options.printerInterface) ? Ok() : Fail(EBUSY);
}

IoctlAnswer EmulatedMill::Reset() {
    // A reset unbinds every interface driver and probes again afterwards:
    // usbfs' claims (and their URBs) are gone, and usblp takes the printer
    // interface back if a driver held it. The machine itself keeps its state.
    const unsigned printer = m_options.printerInterface;
    const bool held = !DriverName(printer).empty();
    for (auto& [client, state] : m_clients) {
        for (unsigned i = 0; HasInterface(i); ++i) {
            if (state.claimed & Bit(i)) DropClaim(client, i);
        }
    }
    if (held && m_options.usblp && !m_printerMinor) BindUsblpLocked();
    return Ok();
}

bool EmulatedMill::BindUsblpLocked() {
    const unsigned printer = m_options.printerInterface;
    if (m_unplugged || m_closed || m_printerMinor || Claimant(printer) ||
        m_options.interfaceClass != kPrinterClass)
        return false;
    const int minor = m_sysfs.TakePrinterMinor();
    const std::string path = InterfaceSysPath();
    try {
        m_sysfs.Add(PrinterNodeRecord(path, minor, m_options.deviceId));
    } catch (...) {
        m_sysfs.ReturnPrinterMinor(minor);
        throw;
    }
    m_printerMinor = minor;
    // usblp's own attribute lives on the interface, where the usbmisc node's
    // "device" leads (/sys/class/usbmisc/lp0/device/ieee1284_id); the node carries a copy.
    m_sysfs.SetAttribute(path, "ieee1284_id", m_options.deviceId);
    m_sysfs.SetLink(path + "/usbmisc/lp" + std::to_string(minor), "device", "../..");
    return true;
}

bool EmulatedMill::UnbindUsblpLocked() {
    if (!m_printerMinor) return false;
    const std::string path = InterfaceSysPath();
    m_sysfs.Remove(path + "/usbmisc/lp" + std::to_string(*m_printerMinor));
    m_sysfs.RemoveEntry(path, "usbmisc");
    m_sysfs.RemoveEntry(path, "ieee1284_id");
    // umockdev does not always take the node's /sys/dev link with it, and the
    // next printer to get this minor could not be added.
    m_sysfs.RemoveEntry("/dev/char",
                        std::to_string(kUsbMiscMajor) + ":" + std::to_string(*m_printerMinor));
    m_sysfs.ReturnPrinterMinor(*m_printerMinor);
    m_printerMinor.reset();
    return true;
}

// --- URBs ----------------------------------------------------------------------

IoctlAnswer EmulatedMill::Submit(UMockdevIoctlClient* client) {
    // Known from now on: a URB that completes before its client's first reap
    // must find where to wait for it.
    ClientOf(client);
    auto urb = Urb::Read(client);
    if (!urb) return Fail(EFAULT);
    if (urb->Length() > kMaxBuffer) return Fail(ENOMEM);
    switch (urb->Type()) {
        case USBDEVFS_URB_TYPE_CONTROL:
            return SubmitControl(std::move(urb));
        case USBDEVFS_URB_TYPE_BULK:
            return SubmitBulk(std::move(urb));
        default:  // no interrupt or isochronous endpoints
            return Fail(IsBulkEndpoint(urb->Endpoint()) ? EINVAL : ENOENT);
    }
}

bool EmulatedMill::RefusedByUsbfs(UMockdevIoctlClient* client, const SetupPacket& s) const {
    // Vendor requests pass whoever holds the interface. A class or standard
    // request to an interface (or its endpoint) is refused while another
    // driver holds it: usblp, or another client's claim. GET_DEVICE_ID
    // names its interface in wIndex' high byte.
    if (s.Type() == kVendorType) return false;
    unsigned interface = 0;
    switch (s.Recipient()) {
        case kToInterface:
            interface = s.IsGetDeviceId() ? s.index >> 8 : s.index & 0xFF;
            break;
        case kToEndpoint:
            if (!IsBulkEndpoint(s.index & 0xFF)) return false;
            interface = m_options.printerInterface;
            break;
        default:
            return false;
    }
    if (!HasInterface(interface)) return false;
    const std::string driver = DriverName(interface);
    return driver == kUsblp || (driver == kUsbfs && Claimant(interface) != client);
}

IoctlAnswer EmulatedMill::SubmitControl(std::unique_ptr<Urb> urb) {
    if ((urb->Endpoint() & 0x7F) != 0)
        return Fail(IsBulkEndpoint(urb->Endpoint()) ? EINVAL : ENOENT);
    if (urb->Length() < kSetupSize) return Fail(EINVAL);
    if (!urb->ReadBuffer()) return Fail(EFAULT);
    const auto buffer = urb->Buffer();
    const SetupPacket setup = ParseSetup(buffer.first<kSetupSize>());
    if (kSetupSize + setup.length > urb->Length()) return Fail(EINVAL);
    const auto out =
        setup.In() ? std::span<const std::uint8_t>() : buffer.subspan(kSetupSize, setup.length);
    if (RefusedByUsbfs(urb->Client(), setup)) {
        Log(setup, out, ControlResult::Busy);
        return Fail(EBUSY);
    }
    ControlAnswer answer = m_control.Answer(setup, out);
    Log(setup, setup.In() ? std::span<const std::uint8_t>(answer.reply) : out, answer.result);
    if (answer.result != ControlResult::Held) urb->due = Clock::now() + m_options.replyLatency;
    if (answer.result == ControlResult::Stall) urb->status = -EPIPE;
    if (answer.result == ControlResult::Done)
        urb->actualLength = setup.In() ? answer.reply.size() : setup.length;
    urb->inData = std::move(answer.reply);
    urb->inOffset = kSetupSize;
    m_inFlight.push_back(std::move(urb));
    return Ok();
}

IoctlAnswer EmulatedMill::SubmitBulk(std::unique_ptr<Urb> urb) {
    if (!IsBulkEndpoint(urb->Endpoint())) return Fail(ENOENT);
    // The kernel would claim a free interface on the fly (with a warning in
    // its log); refusing shows a driver that forgets to claim.
    if (!(ClientOf(urb->Client()).claimed & Bit(m_options.printerInterface))) return Fail(EBUSY);
    if (!urb->ReadBuffer()) return Fail(EFAULT);
    m_inFlight.push_back(std::move(urb));
    Pump();
    return Ok();
}

IoctlAnswer EmulatedMill::Discard(UMockdevIoctlClient* client) {
    const std::uint64_t address = ValueArg(client);
    const auto it = std::find_if(m_inFlight.begin(), m_inFlight.end(), [&](const auto& urb) {
        return urb->Client() == client && urb->Address() == address;
    });
    if (it == m_inFlight.end()) return Fail(EINVAL);  // done already: the client reaps it
    // As usb_kill_urb leaves it: the job data taken so far counts, an answer not yet delivered does
    // not.
    Urb& urb = **it;
    urb.status = -ENOENT;
    if (urb.Type() == USBDEVFS_URB_TYPE_CONTROL) {
        urb.actualLength = 0;
        urb.inData.clear();
    }
    Complete(it);
    return Ok();
}

IoctlAnswer EmulatedMill::Reap(UMockdevIoctlClient* client, std::unique_ptr<Urb>& handedBack) {
    Client& state = ClientOf(client);
    if (state.completed.empty()) return Fail(m_unplugged ? ENODEV : EAGAIN);
    handedBack = std::move(state.completed.front());
    state.completed.pop_front();
    return handedBack->HandBack(client) ? Ok() : Fail(EFAULT);
}

void EmulatedMill::Pump() {
    const auto now = Clock::now();
    bool jobEndpointBusy = false;  // the job endpoint takes its URBs one after the other
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        Urb& urb = **it;
        bool done = false;
        if (urb.Type() == USBDEVFS_URB_TYPE_CONTROL) {
            done = urb.due && *urb.due <= now;
        } else if (urb.Endpoint() == kJobEndpoint && !jobEndpointBusy) {
            Feed(urb);
            done = !m_refusingJobData && urb.actualLength == urb.Length();
            jobEndpointBusy = !done;
        }
        if (done) {
            Complete(it++);
        } else {
            ++it;
        }
    }
}

void EmulatedMill::Feed(Urb& urb) {
    if (m_refusingJobData) return;
    const std::size_t queued = m_machine.JobBytesQueued();
    if (queued >= m_options.jobMemoryBytes) return;  // NAK: the memory is full
    const std::size_t take =
        std::min(m_options.jobMemoryBytes - queued, urb.Length() - urb.actualLength);
    if (take == 0) return;
    const auto bytes = urb.Buffer().subspan(urb.actualLength, take);
    m_machine.ReceiveJobData(bytes);
    const std::size_t room =
        m_options.keptJobBytes - std::min(m_options.keptJobBytes, m_keptJobBytes.size());
    m_keptJobBytes.insert(m_keptJobBytes.end(), bytes.begin(),
                          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, take)));
    m_jobBytes += take;
    urb.actualLength += take;
}

void EmulatedMill::Complete(std::list<std::unique_ptr<Urb>>::iterator it) {
    std::unique_ptr<Urb> urb = std::move(*it);
    m_inFlight.erase(it);
    const auto client = m_clients.find(urb->Client());
    if (client != m_clients.end()) client->second.completed.push_back(std::move(urb));
}

void EmulatedMill::Log(const SetupPacket& s, std::span<const std::uint8_t> data,
                       ControlResult result) {
    if (m_controlLog.size() == kControlLogSize) m_controlLog.pop_front();
    m_controlLog.push_back({s.requestType, s.request, s.value, s.index, s.length,
                            std::vector<std::uint8_t>(data.begin(), data.end()), result,
                            Clock::now()});
    ++m_controlTransfers;
}

}  // namespace usbemu
