// The emulated mill against plain libusb, no project code: found where it is
// plugged with the descriptors it states; its strings and device ID with and
// without usblp; frames carried to the machine and back by vendor requests;
// job data into the machine's memory, and held back when that is full or
// refused; claims between clients; requests that get no answer; an unplug
// that ends every call.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "descriptors.h"
#include "emulated_mill_fixture.h"
#include "libusb_util.h"
#include "machine/big_endian.h"

namespace {

using namespace usbtest;
using namespace std::chrono_literals;
using usbemu::ControlResult;
using usbemu::ControlTransfer;
using usbemu::EmulatedMill;
using usbemu::MillOptions;
using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kTimeoutMs = 2000;
constexpr std::uint8_t kVendorIn = 0xC1;
constexpr std::uint8_t kVendorOut = 0x41;

// libusb started once the mills are plugged in: it reads the bus when it starts.
template <typename Fixture>
class WithLibusb : public Fixture {
protected:
    void StartLibusb() {
        usb.emplace();
        ASSERT_TRUE(usb->Ok());
    }
    DeviceHandle Open(const EmulatedMill& mill) {
        int error = 0;
        DeviceHandle handle = OpenAt(usb->Get(), mill.PortPath(), &error);
        EXPECT_TRUE(handle) << mill.PortPath() << ": " << libusb_error_name(error);
        return handle;
    }

    std::optional<LibusbContext> usb;
};
using EmulationTest = WithLibusb<EmulatedMillTest>;
using DefaultMillTest = WithLibusb<MillTest>;

int VendorIn(libusb_device_handle* handle, std::uint8_t opcode, std::uint16_t value,
             std::uint16_t interface, Bytes& reply, std::uint16_t length,
             unsigned timeoutMs = kTimeoutMs, std::uint8_t requestType = kVendorIn) {
    reply.assign(length, 0);
    const int n = libusb_control_transfer(handle, requestType, opcode, value, interface,
                                          reply.data(), length, timeoutMs);
    reply.resize(static_cast<std::size_t>(std::max(n, 0)));
    return n;
}

int VendorOut(libusb_device_handle* handle, std::uint8_t opcode, std::uint16_t value,
              std::uint16_t interface, Bytes data) {
    return libusb_control_transfer(handle, kVendorOut, opcode, value, interface, data.data(),
                                   static_cast<std::uint16_t>(data.size()), kTimeoutMs);
}

int BulkOut(libusb_device_handle* handle, const Bytes& data, int* transferred,
            unsigned timeoutMs = kTimeoutMs) {
    Bytes copy = data;
    return libusb_bulk_transfer(handle, usbemu::kJobEndpoint, copy.data(),
                                static_cast<int>(copy.size()), transferred, timeoutMs);
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) return {};
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string String(libusb_device_handle* handle, std::uint8_t index) {
    unsigned char text[256] = {};
    const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text);
    return n < 0 ? libusb_error_name(n) : std::string(reinterpret_cast<char*>(text), n);
}

// The printer class's GET_DEVICE_ID: the ID text, or libusb's error.
std::string DeviceId(libusb_device_handle* handle, std::uint8_t interface) {
    Bytes reply;
    const int n = VendorIn(handle, 0, 0, static_cast<std::uint16_t>(interface << 8), reply, 1024,
                           kTimeoutMs, 0xA1);
    if (n < 0) return libusb_error_name(n);
    if (n < 2 || sim::GetU16(reply.data()) != n) return "length " + std::to_string(n);
    return std::string(reply.begin() + 2, reply.end());
}

std::vector<ControlTransfer> VendorTransfers(const EmulatedMill& mill) {
    std::vector<ControlTransfer> vendor;
    for (const auto& t : mill.ControlTransfers()) {
        if ((t.requestType & 0x60) == usbemu::kVendorType) vendor.push_back(t);
    }
    return vendor;
}

auto Fields(const ControlTransfer& t) {
    return std::tuple(t.requestType, t.request, t.value, t.index, t.length, t.data, t.result);
}

TEST_F(EmulationTest, MillsAreFoundWhereTheyArePluggedWithTheDescriptorsTheyState) {
    const struct {
        const char* what;
        MillOptions options;
    } cases[] = {
        {"behind a hub, bidirectional, interface 0", {.portPath = "1-4.2"}},
        {"on a second bus's root hub, unidirectional, behind a vendor interface",
         {.model = "Roland JWX-10",
          .portPath = "2-1",
          .printerInterface = 1,
          .printerProtocol = 1,
          .usblp = false}},
        {"a device that only names itself like a mill",
         {.portPath = "1-4.3", .interfaceClass = 0xFF}},
    };
    for (const auto& c : cases) AddMill(c.options);
    StartLibusb();

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const MillOptions& o = c.options;
        libusb_device* device = DeviceAt(usb->Get(), o.portPath);
        ASSERT_NE(device, nullptr);
        libusb_device_descriptor d{};
        ASSERT_EQ(libusb_get_device_descriptor(device, &d), 0);
        EXPECT_EQ(d.idVendor, usbemu::kVendorId);
        EXPECT_EQ(d.idProduct, usbemu::kProductId);
        libusb_config_descriptor* config = nullptr;
        ASSERT_EQ(libusb_get_active_config_descriptor(device, &config), 0);
        libusb_unref_device(device);
        ASSERT_EQ(config->bNumInterfaces, o.printerInterface + 1);
        if (o.printerInterface > 0) {
            EXPECT_EQ(config->interface[0].altsetting[0].bInterfaceClass, 0xFF);
            EXPECT_EQ(config->interface[0].altsetting[0].bNumEndpoints, 0);
        }
        const libusb_interface_descriptor& printer =
            config->interface[o.printerInterface].altsetting[0];
        EXPECT_EQ(printer.bInterfaceNumber, o.printerInterface);
        EXPECT_EQ(printer.bInterfaceClass, o.interfaceClass);
        if (o.interfaceClass == usbemu::kPrinterClass) {
            EXPECT_EQ(printer.bInterfaceSubClass, 1);
            EXPECT_EQ(printer.bInterfaceProtocol, o.printerProtocol);
        }
        std::vector<std::pair<int, int>> endpoints;  // address, attributes
        for (int i = 0; i < printer.bNumEndpoints; ++i)
            endpoints.emplace_back(printer.endpoint[i].bEndpointAddress,
                                   printer.endpoint[i].bmAttributes);
        std::vector<std::pair<int, int>> expected{{0x01, LIBUSB_TRANSFER_TYPE_BULK}};
        if (o.printerProtocol == 2) expected.emplace_back(0x82, LIBUSB_TRANSFER_TYPE_BULK);
        EXPECT_EQ(endpoints, expected);
        libusb_free_config_descriptor(config);
    }
}

TEST_F(EmulationTest, StringsAndDeviceIdWithAndWithoutUsblp) {
    const struct {
        const char* what;
        MillOptions options;
    } cases[] = {
        {"usblp bound", {.portPath = "1-4.2"}},
        {"no printer driver",
         {.model = "Roland JWX-10",
          .serial = "A17",
          .deviceId = "MFG:Maker;MDL:JWX-10;CLS:PRINTER;",
          .portPath = "1-4.3",
          .usblp = false}},
    };
    for (const auto& c : cases) AddMill(c.options);
    StartLibusb();

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto o = usbemu::WithDefaults(c.options);
        libusb_device* device = DeviceAt(usb->Get(), o.portPath);
        ASSERT_NE(device, nullptr);
        libusb_device_descriptor d{};
        libusb_get_device_descriptor(device, &d);
        libusb_device_handle* opened = nullptr;
        ASSERT_EQ(libusb_open(device, &opened), 0);
        libusb_unref_device(device);
        const DeviceHandle handle(opened, libusb_close);
        EXPECT_EQ(String(opened, d.iManufacturer), o.manufacturer);
        EXPECT_EQ(String(opened, d.iProduct), o.product);
        EXPECT_EQ(String(opened, d.iSerialNumber), o.serial);

        const std::string interface = "/sys/bus/usb/devices/" + o.portPath + ":1.0";
        const std::string idFile = interface + "/usbmisc/lp0/ieee1284_id";
        if (!o.usblp) {
            EXPECT_EQ(libusb_kernel_driver_active(opened, 0), 0);
            EXPECT_EQ(ReadFile(idFile), std::nullopt);
            EXPECT_EQ(DeviceId(opened, 0), o.deviceId);
            continue;
        }
        // usblp holds the interface: the ID is in sysfs, and the request is refused.
        EXPECT_EQ(libusb_kernel_driver_active(opened, 0), 1);
        EXPECT_EQ(ReadFile(idFile), o.deviceId);
        EXPECT_EQ(ReadFile(interface + "/ieee1284_id"), o.deviceId);
        EXPECT_EQ(ReadFile("/sys/class/usbmisc/lp0/device/ieee1284_id"), o.deviceId);
        EXPECT_EQ(DeviceId(opened, 0), "LIBUSB_ERROR_IO");  // EBUSY at submit
        EXPECT_EQ(libusb_set_configuration(opened, 1), LIBUSB_ERROR_BUSY);
        ASSERT_EQ(libusb_detach_kernel_driver(opened, 0), 0);
        EXPECT_EQ(libusb_kernel_driver_active(opened, 0), 0);
        EXPECT_EQ(ReadFile(idFile), std::nullopt);
        EXPECT_EQ(DeviceId(opened, 0), o.deviceId);
        EXPECT_EQ(libusb_set_configuration(opened, 1), 0);
        ASSERT_EQ(libusb_attach_kernel_driver(opened, 0), 0);
        EXPECT_EQ(libusb_kernel_driver_active(opened, 0), 1);
        EXPECT_EQ(ReadFile(idFile), o.deviceId);
    }
}

TEST_F(EmulationTest, VendorRequestsCarryFramesToTheMachineAndBack) {
    // Behind a vendor interface 0: the frames must name interface 1.
    auto& mill = AddMill({.printerInterface = 1, .usblp = false});
    StartLibusb();
    const DeviceHandle handle = Open(mill);
    ASSERT_TRUE(handle);
    libusb_device_handle* h = handle.get();

    Bytes status;
    ASSERT_EQ(VendorIn(h, 0x1F, 0, 1, status, 31), 31);
    EXPECT_EQ(sim::GetU32(status.data()), 2u);  // idle
    Bytes move(18);
    sim::PutU32(&move[0], 1000);
    sim::PutU32(&move[4], 500);
    sim::PutU32(&move[8], 8000);
    sim::PutU32(&move[12], 0);
    sim::PutU16(&move[16], 3000);
    ASSERT_EQ(VendorOut(h, 0x99, 0, 1, move), 18);
    Bytes done;
    int polls = 0;
    do {
        ASSERT_EQ(VendorIn(h, 0x02, 0, 1, done, 6), 6);
    } while (done[0] != 0 && ++polls < 20000);
    EXPECT_EQ(done[0], 0);
    EXPECT_GT(polls, 0) << "the move took no time";
    Bytes position;
    ASSERT_EQ(VendorIn(h, 0x17, 0, 1, position, 19), 19);
    EXPECT_EQ(sim::GetS32(&position[0]), 1000);
    EXPECT_EQ(sim::GetS32(&position[4]), 500);
    EXPECT_EQ(sim::GetS32(&position[8]), 8000);
    Bytes block;
    EXPECT_EQ(VendorIn(h, 0x16, 4, 1, block, 38), 38);  // the block number travels in wValue

    const auto log = VendorTransfers(mill);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Fields(log[0]), Fields({kVendorIn, 0x1F, 0, 1, 31, status, ControlResult::Done}));
    EXPECT_EQ(Fields(log[1]), Fields({kVendorOut, 0x99, 0, 1, 18, move, ControlResult::Done}));
    EXPECT_EQ(Fields(log[2]), Fields({kVendorIn, 0x02, 0, 1, 6, log[2].data, ControlResult::Done}));
    EXPECT_EQ(Fields(log.back()), Fields({kVendorIn, 0x16, 4, 1, 38, block, ControlResult::Done}));

    // Each answer comes after the reply latency, without holding anything up.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) ASSERT_EQ(VendorIn(h, 0x1F, 0, 1, status, 31), 31);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20 * mill.Options().replyLatency);
}

TEST_F(DefaultMillTest, RequestsTheMachineCannotCarryOutStall) {
    EmulatedMill& mill = Mill();  // vendor requests pass usblp
    StartLibusb();
    const DeviceHandle handle = Open(mill);
    ASSERT_TRUE(handle);
    const std::function<void(EmulatedMill&)> nothing = [](EmulatedMill&) {};
    const struct {
        const char* what;
        std::function<void(EmulatedMill&)> inject;
        std::uint8_t requestType, opcode;
        std::uint16_t value, index, length;
        Bytes data;
    } cases[] = {
        {"an opcode the machine does not know", nothing, kVendorIn, 0x7F, 0, 0, 4, {}},
        {"the wrong interface", nothing, kVendorIn, 0x1F, 0, 1, 31, {}},
        {"a vendor request to the device", nothing, 0xC0, 0x1F, 0, 0, 31, {}},
        {"a value the machine refuses", nothing, kVendorOut, 0x26, 1, 0, 2, {0, 100}},
        {"less room than the reply needs", nothing, kVendorIn, 0x02, 0, 0, 2, {}},
        {"a one-byte opcode with a value", nothing, kVendorIn, 0x1F, 5, 0, 31, {}},
        {"an opcode stalled",
         [](EmulatedMill& m) { m.StallOpcode(0x1F); },
         kVendorIn,
         0x1F,
         0,
         0,
         31,
         {}},
        {"every request stalled",
         [](EmulatedMill& m) { m.StallEveryRequest(); },
         kVendorIn,
         0x17,
         0,
         0,
         19,
         {}},
        {"an opcode the machine fails",
         [](EmulatedMill& m) { m.Machine().HandleText("fault fail-opcode 31"); },
         kVendorIn,
         0x1F,
         0,
         0,
         31,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.inject(mill);
        Bytes buffer = c.requestType & 0x80 ? Bytes(c.length) : c.data;
        EXPECT_EQ(libusb_control_transfer(handle.get(), c.requestType, c.opcode, c.value, c.index,
                                          buffer.data(), c.length, kTimeoutMs),
                  LIBUSB_ERROR_PIPE);
        EXPECT_EQ(mill.ControlTransfers().back().result, ControlResult::Stall);
        mill.StopStalling();
        mill.Machine().HandleText("fault clear");
        Bytes status;
        EXPECT_EQ(VendorIn(handle.get(), 0x1F, 0, 0, status, 31), 31);
    }
    // More room than the reply needs is a short transfer, not a failure.
    Bytes status;
    EXPECT_EQ(VendorIn(handle.get(), 0x1F, 0, 0, status, 64), 31);
}

TEST_F(EmulationTest, JobDataReachesTheMachine) {
    auto& mill = AddMill({.speed = 1000});
    StartLibusb();
    const DeviceHandle handle = Open(mill);
    ASSERT_TRUE(handle);
    libusb_set_auto_detach_kernel_driver(handle.get(), 1);
    ASSERT_EQ(libusb_claim_interface(handle.get(), 0), 0);

    const Bytes job = BytesOf("VS50;!PZ0,0;PU700,900;");
    int transferred = 0;
    ASSERT_EQ(BulkOut(handle.get(), job, &transferred), 0);
    EXPECT_EQ(transferred, static_cast<int>(job.size()));
    EXPECT_EQ(mill.JobBytes(), job);
    EXPECT_TRUE(WaitUntil([&] {
        return mill.Machine().With([](sim::Machine& m) { return m.CommandsDone(); }) == 3;
    }));

    // The one alternate setting, a cleared halt and a reset leave the way
    // open: libusb claims again after the reset.
    EXPECT_EQ(libusb_set_interface_alt_setting(handle.get(), 0, 0), 0);
    EXPECT_EQ(libusb_set_interface_alt_setting(handle.get(), 0, 1), LIBUSB_ERROR_NOT_FOUND);
    EXPECT_EQ(libusb_clear_halt(handle.get(), usbemu::kJobEndpoint), 0);
    EXPECT_EQ(libusb_reset_device(handle.get()), 0);
    EXPECT_FALSE(mill.UsblpBound());
    ASSERT_EQ(BulkOut(handle.get(), BytesOf("PU0,0;"), &transferred), 0);
    EXPECT_EQ(mill.JobBytesReceived(), job.size() + 6);
    EXPECT_EQ(mill.UnknownIoctls(), std::vector<unsigned long>{});
}

TEST_F(EmulationTest, JobDataIsHeldBackWhileTheMachineTakesNoMore) {
    // Slow moves keep what follows them in the memory.
    std::string slow = "VS1;!PZ0,0;";
    while (slow.size() < 16 * 1024) slow += "PU100,100;PU0,0;";
    const Bytes job = BytesOf(slow);
    const struct {
        const char* what;
        MillOptions options;
        bool refuse;
        int atLeast, atMost;  // bytes taken
    } cases[] = {
        {"a full memory takes what fits",
         {.portPath = "1-4.2", .jobMemoryBytes = 4096},
         false,
         4096,
         4096 + 256},
        {"refused data", {.portPath = "1-4.3"}, true, 0, 0},
    };
    std::vector<EmulatedMill*> mills;
    for (const auto& c : cases) mills.push_back(&AddMill(c.options));
    StartLibusb();

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EmulatedMill& mill = *mills[i];
        SCOPED_TRACE(c.what);
        const DeviceHandle handle = Open(mill);
        ASSERT_TRUE(handle);
        libusb_set_auto_detach_kernel_driver(handle.get(), 1);
        ASSERT_EQ(libusb_claim_interface(handle.get(), 0), 0);
        mill.RefuseJobData(c.refuse);

        int transferred = -1;
        EXPECT_EQ(BulkOut(handle.get(), job, &transferred, 300), LIBUSB_ERROR_TIMEOUT);
        EXPECT_GE(transferred, c.atLeast);
        EXPECT_LE(transferred, c.atMost);
        EXPECT_EQ(mill.JobBytesReceived(), static_cast<std::uint64_t>(transferred));
        EXPECT_EQ(mill.JobBytes(), Bytes(job.begin(), job.begin() + transferred));
        EXPECT_EQ(mill.UrbsInFlight(), 0u) << "the discarded URB was not completed";

        mill.RefuseJobData(false);
        mill.Machine().HandleText("speed 100000");
        EXPECT_EQ(BulkOut(handle.get(), BytesOf("PU0,0;"), &transferred), 0);
    }
}

TEST_F(EmulationTest, AClaimedInterfaceRefusesEveryOtherClaimant) {
    auto& claimed = AddMill({.portPath = "1-4.2", .usblp = false});
    auto& printer = AddMill({.portPath = "1-4.3"});  // usblp holds it
    StartLibusb();
    const DeviceHandle first = Open(claimed);
    ASSERT_TRUE(first);
    ASSERT_EQ(libusb_claim_interface(first.get(), 0), 0);
    const DeviceHandle second = Open(claimed);
    ASSERT_TRUE(second);
    LibusbContext otherContext;
    ASSERT_TRUE(otherContext.Ok());

    const struct {
        const char* what;
        std::function<int()> claim;
        int expected;
    } cases[] = {
        {"a second handle", [&] { return libusb_claim_interface(second.get(), 0); },
         LIBUSB_ERROR_BUSY},
        {"a second libusb context",
         [&] {
             const DeviceHandle other = OpenAt(otherContext.Get(), claimed.PortPath());
             return other ? libusb_claim_interface(other.get(), 0) : LIBUSB_ERROR_NOT_FOUND;
         },
         LIBUSB_ERROR_BUSY},
        {"a second process",
         [&] {
             const int status = ExitStatus(
                 Spawn(*testbed, {TARNWICK_TEST_BIN "/usb_claim_child", claimed.PortPath(), "0"}));
             return status == 0 ? 0 : status == 1 ? LIBUSB_ERROR_BUSY : LIBUSB_ERROR_OTHER;
         },
         LIBUSB_ERROR_BUSY},
        {"bulk OUT without a claim",
         [&] {
             int transferred = 0;
             return BulkOut(second.get(), BytesOf(";"), &transferred);
         },
         LIBUSB_ERROR_IO},  // EBUSY at submit
        {"usblp's interface without a detach",
         [&] {
             const DeviceHandle h = OpenAt(usb->Get(), printer.PortPath());
             return h ? libusb_claim_interface(h.get(), 0) : LIBUSB_ERROR_NOT_FOUND;
         },
         LIBUSB_ERROR_BUSY},
        {"usblp's interface with a detach",
         [&] {
             const DeviceHandle h = OpenAt(usb->Get(), printer.PortPath());
             if (!h) return static_cast<int>(LIBUSB_ERROR_NOT_FOUND);
             libusb_set_auto_detach_kernel_driver(h.get(), 1);
             const int claim = libusb_claim_interface(h.get(), 0);
             libusb_release_interface(h.get(), 0);  // attaches usblp again
             return claim;
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.claim(), c.expected);
    }
    EXPECT_TRUE(printer.UsblpBound());
    // A released interface is free again.
    ASSERT_EQ(libusb_release_interface(first.get(), 0), 0);
    EXPECT_EQ(libusb_claim_interface(second.get(), 0), 0);
}

TEST_F(DefaultMillTest, AnUnansweredRequestTimesOutAndItsDiscardCompletes) {
    EmulatedMill& mill = Mill();
    StartLibusb();
    const DeviceHandle handle = Open(mill);
    ASSERT_TRUE(handle);
    const struct {
        const char* what;
        const char* stop;
        const char* resume;
    } cases[] = {
        {"replies held", nullptr, nullptr},
        {"the machine lost", "fault lose", "fault clear"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.stop) {
            mill.Machine().HandleText(c.stop);
        } else {
            mill.HoldReplies(true);
        }
        const auto start = std::chrono::steady_clock::now();
        Bytes status;
        EXPECT_EQ(VendorIn(handle.get(), 0x1F, 0, 0, status, 31, 200), LIBUSB_ERROR_TIMEOUT);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_EQ(mill.UrbsInFlight(), 0u) << "the discarded URB was not completed";
        EXPECT_EQ(mill.ControlTransfers().back().result, ControlResult::Held);
        if (c.resume) {
            mill.Machine().HandleText(c.resume);
        } else {
            mill.HoldReplies(false);
        }
        EXPECT_EQ(VendorIn(handle.get(), 0x1F, 0, 0, status, 31), 31);
    }
}

TEST_F(EmulationTest, AnUnplugEndsTheTransferInFlightAndEveryLaterCall) {
    const struct {
        const char* what;
        const char* portPath;
        std::function<void(EmulatedMill&)> stall;
        std::function<int(libusb_device_handle*)> call;
    } cases[] = {
        {"a control transfer without an answer", "1-4.2",
         [](EmulatedMill& m) { m.HoldReplies(true); },
         [](libusb_device_handle* h) {
             Bytes reply;
             return VendorIn(h, 0x1F, 0, 0, reply, 31, 20000);
         }},
        {"job data the machine does not take", "1-4.3",
         [](EmulatedMill& m) { m.RefuseJobData(true); },
         [](libusb_device_handle* h) {
             int transferred = 0;
             return BulkOut(h, Bytes(100000, ';'), &transferred, 20000);
         }},
    };
    std::vector<EmulatedMill*> mills;
    for (const auto& c : cases) mills.push_back(&AddMill({.portPath = c.portPath}));
    StartLibusb();

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EmulatedMill& mill = *mills[i];
        SCOPED_TRACE(c.what);
        DeviceHandle handle = Open(mill);
        ASSERT_TRUE(handle);
        libusb_set_auto_detach_kernel_driver(handle.get(), 1);
        ASSERT_EQ(libusb_claim_interface(handle.get(), 0), 0);
        c.stall(mill);
        auto inFlight = std::async(std::launch::async, c.call, handle.get());
        ASSERT_TRUE(WaitUntil([&] { return mill.UrbsInFlight() == 1; }));

        const auto start = std::chrono::steady_clock::now();
        mill.Unplug();
        if (inFlight.wait_for(5s) != std::future_status::ready) {
            // It would never return: end here rather than hang in the future's destructor.
            std::fprintf(stderr, "%s: the call in flight hangs after the unplug\n", c.what);
            std::_Exit(1);
        }
        const int result = inFlight.get();
        EXPECT_TRUE(result == LIBUSB_ERROR_NO_DEVICE || result == LIBUSB_ERROR_IO)
            << libusb_error_name(result);
        Bytes reply;
        int transferred = 0;
        EXPECT_EQ(VendorIn(handle.get(), 0x1F, 0, 0, reply, 31), LIBUSB_ERROR_NO_DEVICE);
        EXPECT_EQ(BulkOut(handle.get(), BytesOf(";"), &transferred), LIBUSB_ERROR_NO_DEVICE);
        EXPECT_EQ(libusb_release_interface(handle.get(), 0), LIBUSB_ERROR_NO_DEVICE);
        handle.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

        // The device has left the testbed, and libusb heard of it.
        EXPECT_FALSE(std::filesystem::exists("/sys/bus/usb/devices/" + mill.PortPath()));
        EXPECT_TRUE(WaitUntil([&] {
            libusb_device* device = DeviceAt(usb->Get(), mill.PortPath());
            if (device) libusb_unref_device(device);
            return device == nullptr;
        }));
    }
}

}  // namespace
