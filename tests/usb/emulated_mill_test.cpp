// The emulated mill against plain libusb, no project code: what usbfs and the
// kernel's printer driver do that the driver library's tests rely on without
// looking (its frames, job data, time-outs and unplugging are tested through
// the library): strings and the device ID with and without usblp, and claims
// between handles, contexts and processes.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "descriptors.h"
#include "emulated_mill_fixture.h"
#include "libusb_util.h"
#include "machine/big_endian.h"

namespace {

using namespace usbtest;
using usbemu::EmulatedMill;
using usbemu::MillOptions;
using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kTimeoutMs = 2000;

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

int ControlIn(libusb_device_handle* handle, std::uint8_t requestType, std::uint16_t index,
              Bytes& reply, std::uint16_t length) {
    reply.assign(length, 0);
    const int n =
        libusb_control_transfer(handle, requestType, 0, 0, index, reply.data(), length, kTimeoutMs);
    reply.resize(static_cast<std::size_t>(std::max(n, 0)));
    return n;
}

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
    const int n = ControlIn(handle, 0xA1, static_cast<std::uint16_t>(interface << 8), reply, 1024);
    if (n < 0) return libusb_error_name(n);
    if (n < 2 || sim::GetU16(reply.data()) != n) return "length " + std::to_string(n);
    return std::string(reply.begin() + 2, reply.end());
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
             unsigned char byte = ';';
             int transferred = 0;
             return libusb_bulk_transfer(second.get(), usbemu::kJobEndpoint, &byte, 1, &transferred,
                                         kTimeoutMs);
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

}  // namespace
