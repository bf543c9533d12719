// The real mill's driver library, loaded in process through the program's
// machine port, against emulated mills on the real libusb: every command as
// the control transfer the mill sees, finding the machine by what it says it
// is, failures that end in time and stay failures, job data, and two
// processes sharing one machine through the port mutex.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "emulated_mill_fixture.h"
#include "libusb_util.h"
#include "link/machine_port.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"

namespace {

using namespace usbtest;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
using usbemu::EmulatedMill;
using usbemu::MillOptions;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr const char* kChoiceVariable = "TARNWICK_USB_DEVICE";
constexpr const char* kOpenFailed = "Couldn't open port to Roland machine.";
constexpr std::uint8_t kPrinterInterface = 2;  // behind two vendor interfaces: wIndex shows
// The library's time-out is 300 ms; a loaded machine gets some slack.
constexpr auto kFailsInTime = 900ms;

// The library takes the model from the name less its first word. A first
// word of this process's own keeps the named mutexes (which take the whole
// name) apart from those of other test programs running at the same time.
std::string PortName(const std::string& model) {
    return "Tarnwick" + std::to_string(::getpid()) + " " + model;
}

// A vendor transfer as the mill must see it; IN replies are judged by what
// the port makes of them.
struct Wire {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
    Bytes data;  // OUT only
    bool operator==(const Wire&) const = default;
};

void PrintTo(const Wire& w, std::ostream* os) {
    *os << "type " << +w.requestType << " request " << +w.request << " value " << w.value
        << " index " << w.index << " length " << w.length << " data "
        << ::testing::PrintToString(w.data);
}

Wire Out(std::uint8_t request, std::uint16_t value, Bytes data) {
    const auto length = static_cast<std::uint16_t>(data.size());
    return {0x41, request, value, kPrinterInterface, length, std::move(data)};
}
Wire In(std::uint8_t request, std::uint16_t value, std::uint16_t length) {
    return {0xC1, request, value, kPrinterInterface, length, {}};
}
Wire WaitDonePoll() { return In(0x02, 0, 6); }

// Big-endian fields, each a value and its width in bytes.
Bytes BigEndian(std::initializer_list<std::pair<std::int64_t, int>> fields) {
    Bytes bytes;
    for (const auto& [value, width] : fields) {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    return bytes;
}

// The vendor transfers the mill saw; a completion wait's run of polls counts as one.
std::vector<Wire> VendorWires(const EmulatedMill& mill) {
    std::vector<Wire> wires;
    for (const auto& t : mill.ControlTransfers()) {
        if ((t.requestType & 0x60) != 0x40) continue;
        const bool in = (t.requestType & 0x80) != 0;
        Wire wire{t.requestType, t.request, t.value, t.index, t.length, in ? Bytes{} : t.data};
        if (wire == WaitDonePoll() && !wires.empty() && wires.back() == wire) continue;
        wires.push_back(std::move(wire));
    }
    return wires;
}

template <typename F>
Clock::duration TimeOf(F&& call) {
    const auto start = Clock::now();
    call();
    return Clock::now() - start;
}

// Slow moves: what follows them stays in the machine's memory.
Bytes SlowJob(std::size_t bytes) {
    std::string job = "VS1;!PZ0,0;";
    while (job.size() < bytes) job += "PU4000,4000;PU0,0;";
    return Bytes(job.begin(), job.end());
}

class UsbDriverTest : public EmulatedMillTest {
protected:
    void SetUp() override {
        EmulatedMillTest::SetUp();
        platform::SetProgramFolder(USB_DRIVER_DIR);
        platform::SetMessageBoxHandler(
            [this](const std::string& text, const std::string&) { messages.push_back(text); });
    }
    void TearDown() override {
        port.ClosePort();  // libusb ends before the testbed
        platform::SetMessageBoxHandler({});
        platform::SetProgramFolder("");
        ::unsetenv(kChoiceVariable);
    }
    bool Open(const std::string& model = "MDX-40") {
        port.SetPortName(PortName(model));
        return port.OpenPort();
    }
    // A testbed of its own, for a case with other mills; `choice` is
    // TARNWICK_USB_DEVICE's value (set while no testbed thread runs).
    void NewTestbed(const char* choice = nullptr) {
        port.ClosePort();
        testbed.reset();
        if (choice) {
            ::setenv(kChoiceVariable, choice, 1);
        } else {
            ::unsetenv(kChoiceVariable);
        }
        testbed.emplace();
    }

    CMachinePort port;
    std::vector<std::string> messages;
};

TEST_F(UsbDriverTest, EveryCommandIsItsControlTransferAndItsReplyIsRead) {
    EmulatedMill& mill = AddMill({.printerInterface = kPrinterInterface, .speed = 50});
    ASSERT_TRUE(Open());
    CMachinePort& p = port;
    using Result = std::vector<std::int64_t>;
    auto machine = [&](auto read) { return static_cast<std::int64_t>(mill.Machine().With(read)); };
    auto setting = [&](std::uint32_t (sim::Machine::*get)() const) {
        return machine([get](sim::Machine& m) { return (m.*get)(); });
    };
    auto position = [&](bool (CMachinePort::*read)(MachinePosition&)) {
        MachinePosition at;
        const bool ok = (p.*read)(at);
        return Result{ok, at.x, at.y, at.z, at.a};
    };
    const Bytes block = BigEndian({{0x0102030405060708, 8}, {-2, 8}, {0x7FFF, 4}, {-950, 2}});
    const std::vector<Wire> sensorRead{Out(0x03, 0, BigEndian({{0x00FFFF54, 4}})), In(0x05, 1, 3)};
    const struct {
        const char* what;
        std::function<Result()> call;
        std::vector<Wire> wires;
        Result result;
    } rows[] = {
        {"WaitDone", [&] { return Result{p.WaitDone()}; }, {WaitDonePoll()}, {1}},
        {"IsSensorConnected", [&] { return Result{p.IsSensorConnected()}; }, sensorRead, {1}},
        {"IsSensorTouched", [&] { return Result{p.IsSensorTouched()}; }, sensorRead, {0}},
        {"MoveTo, its speed cut to 3000",
         [&] { return Result{p.MoveTo(1000, 2000, 9000, -4500, 5000)}; },
         {Out(0x99, 0, BigEndian({{1000, 4}, {2000, 4}, {9000, 4}, {-4500, 4}, {3000, 2}})),
          WaitDonePoll()},
         {1}},
        {"ReadMachinePosition",
         [&] { return position(&CMachinePort::ReadMachinePosition); },
         {In(0x17, 0, 19)},
         {1, 1000, 2000, 9000, -4500}},
        {"SetOrigin",
         [&] { return Result{p.SetOrigin(100, -200, 300, 9000)}; },
         {Out(0x23, 0x000F, BigEndian({{100, 4}, {-200, 4}, {300, 4}, {9000, 4}})), WaitDonePoll()},
         {1}},
        {"ReadUserPosition",
         [&] { return position(&CMachinePort::ReadUserPosition); },
         {In(0x1D, 0, 19)},
         {1, 900, 2200, 8700, -13500}},
        {"ReadStatus", [&] { return Result{p.ReadStatus()}; }, {In(0x1F, 0, 31)}, {2}},
        {"SetSpindleOverride",
         [&] {
             return Result{p.SetSpindleOverride(80), setting(&sim::Machine::SpindleOverride)};
         },
         {Out(0x28, 0, BigEndian({{80, 2}})), WaitDonePoll()},
         {1, 80}},
        {"SetFeedOverride",
         [&] {
             return Result{p.SetFeedOverride(150), setting(&sim::Machine::FeedOverride)};
         },
         {Out(0x26, 0, BigEndian({{150, 2}})), WaitDonePoll()},
         {1, 150}},
        {"SetSpindle",
         [&] { return Result{p.SetSpindle(12000)}; },
         {Out(0x20, 3, BigEndian({{12000, 4}})), WaitDonePoll()},
         {1}},
        {"ReadSpindle, as turning under the override",
         [&] {
             std::int32_t rpm = 0;
             const bool ok = p.ReadSpindle(rpm);
             return Result{ok, rpm};
         },
         {In(0x1F, 0, 31)},
         {1, 9600}},
        {"WriteBlock",
         [&] { return Result{p.WriteBlock(5, block.data(), static_cast<int>(block.size()))}; },
         {Out(0x15, 5, block), WaitDonePoll()},
         {1}},
        {"ReadBlock",
         [&] {
             Bytes back(block.size());
             const int result = p.ReadBlock(5, back.data(), static_cast<int>(back.size()));
             return Result{result, back == block};
         },
         {In(0x16, 5, static_cast<std::uint16_t>(block.size()))},
         {1, 1}},
        {"ReadCommandsDone",
         [&] {
             std::uint32_t done = 7;
             const bool ok = p.ReadCommandsDone(done);
             return Result{ok, done};
         },
         {In(0x29, 0, 4)},
         {1, 0}},
        {"ProbeTo, arriving untouched",
         [&] {
             return Result{p.ProbeTo(1500, 2500, 8000, 120),
                           machine([](sim::Machine& m) { return m.MachinePosition().z; })};
         },
         {Out(0x96, 0, BigEndian({{1500, 4}, {2500, 4}, {8000, 4}, {120, 2}})), WaitDonePoll()},
         {1, 8000}},
        {"PulseBits",
         [&] { return Result{p.PulseBits(64)}; },
         {Out(0x12, 1, {64}), WaitDonePoll(), Out(0x12, 0, {64}), WaitDonePoll()},
         {1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        mill.ClearControlTransfers();
        EXPECT_EQ(row.call(), row.result);
        EXPECT_EQ(VendorWires(mill), row.wires);
    }
}

TEST_F(UsbDriverTest, OpenTakesTheMillThatNamesItselfAndOnlyThat) {
    const MillOptions byDeviceId{.product = "Desktop mill",
                                 .deviceId = "MFG:Maker;MDL:mdx-40;CLS:PRINTER;"};
    MillOptions askedOf = byDeviceId;
    askedOf.usblp = false;
    const std::vector<MillOptions> several{
        {.serial = "A5", .portPath = "1-5"},
        {.portPath = "1-4.3"},
        {.serial = "A17", .portPath = "2-1", .usblp = false},
    };
    const struct {
        const char* what;
        std::vector<MillOptions> mills;
        const char* used;              // the port path opened; none when Open fails
        const char* choice = nullptr;  // TARNWICK_USB_DEVICE
        bool idOnInterfaceOnly = false;
        const char* model = "MDX-40";
    } cases[] = {
        {"the product string, in another case", {{.product = "mdx-40"}}, "1-4.2"},
        {"the device ID from sysfs while usblp holds the interface", {byDeviceId}, "1-4.2"},
        {"the device ID where a kernel's usblp shows it", {byDeviceId}, "1-4.2", nullptr, true},
        {"the device ID asked of the device", {askedOf}, "1-4.2"},
        {"a JWX-10", {{.model = "Roland JWX-10"}}, "1-4.2", nullptr, false, "JWX-10"},
        {"not a printer interface", {{.interfaceClass = 0xFF}}, nullptr},
        {"a printer of another model", {{.model = "Roland JWX-10"}}, nullptr},
        {"no device at all", {}, nullptr},
        {"several: the first in bus/port order", several, "1-4.3"},
        {"several: the one chosen by port path", several, "1-5", "1-5"},
        {"several: the one chosen by serial number", several, "2-1", "A17"},
        {"several: a choice that names none", several, nullptr, "1-4.9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NewTestbed(c.choice);
        std::vector<EmulatedMill*> mills;
        for (const auto& options : c.mills) mills.push_back(&AddMill(options));
        if (c.idOnInterfaceOnly) {
            // A real kernel has no ID on the usbmisc node: only the interface's own is left.
            const auto usbmisc =
                std::filesystem::path(testbed->Root() + "/sys" + mills[0]->InterfaceSysPath()) /
                "usbmisc";
            for (const auto& node : std::filesystem::directory_iterator(usbmisc))
                ASSERT_TRUE(std::filesystem::remove(node.path() / "ieee1284_id"));
        }
        messages.clear();
        ::testing::internal::CaptureStderr();
        const bool opened = Open(c.model);
        const std::string log = ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(opened, c.used != nullptr) << log;
        if (!c.used) {
            EXPECT_EQ(messages, std::vector<std::string>{kOpenFailed});
            continue;
        }
        EXPECT_THAT(log, HasSubstr("using " + std::string(c.model) + " at " + c.used));
        if (!c.choice && mills.size() > 1) {
            EXPECT_THAT(log, HasSubstr("also found"));
        }
        EXPECT_EQ(port.ReadStatus(), 2);
        for (const EmulatedMill* mill : mills)
            EXPECT_EQ(VendorWires(*mill).empty(), mill->PortPath() != c.used) << mill->PortPath();
    }
}

TEST_F(UsbDriverTest, AFailedRequestFailsAloneAndInTime) {
    EmulatedMill& mill = AddMill();
    ASSERT_TRUE(Open());
    const struct {
        const char* what;
        std::function<void(bool)> fault;
        bool othersAnswer;
    } cases[] = {
        {"its opcode stalled", [&](bool on) { on ? mill.StallOpcode(0x17) : mill.StopStalling(); },
         true},
        {"no replies", [&](bool on) { mill.HoldReplies(on); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.fault(true);
        MachinePosition at;
        EXPECT_LT(TimeOf([&] { EXPECT_FALSE(port.ReadMachinePosition(at)); }), kFailsInTime);
        if (c.othersAnswer) {
            EXPECT_EQ(port.ReadStatus(), 2);
        }
        c.fault(false);
        EXPECT_TRUE(port.ReadMachinePosition(at)) << "the next call after it";
    }
}

TEST_F(UsbDriverTest, AnUnplugEndsTheCallInFlightAndEveryLaterCall) {
    const Bytes data(4096, ';');
    const struct {
        const char* what;
        std::function<void(EmulatedMill&)> hold;
        std::function<bool(CMachinePort&)> failed;  // runs until the unplug
    } cases[] = {
        {"a frame without an answer", [](EmulatedMill& m) { m.HoldReplies(true); },
         [](CMachinePort& p) { return p.ReadStatus() == -1; }},
        {"job data the machine does not take", [](EmulatedMill& m) { m.RefuseJobData(true); },
         [&data](CMachinePort& p) {
             std::uint32_t taken = 0;
             const auto end = Clock::now() + 10s;
             while (p.Write(data.data(), data.size(), taken) && Clock::now() < end) {
             }
             return Clock::now() < end;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NewTestbed();
        EmulatedMill& mill = AddMill();
        ASSERT_TRUE(Open());
        c.hold(mill);
        auto inFlight = std::async(std::launch::async, c.failed, std::ref(port));
        ASSERT_TRUE(WaitUntil([&] { return mill.UrbsInFlight() == 1; }));
        mill.Unplug();
        if (inFlight.wait_for(2s) != std::future_status::ready) {
            // It would never return: end here rather than hang in the future's destructor.
            std::fprintf(stderr, "%s: the call in flight hangs after the unplug\n", c.what);
            std::_Exit(1);
        }
        EXPECT_TRUE(inFlight.get());
        std::uint32_t taken = 1;
        MachinePosition at;
        const auto later = TimeOf([&] {
            EXPECT_EQ(port.ReadStatus(), -1);
            EXPECT_FALSE(port.ReadMachinePosition(at));
            EXPECT_FALSE(port.MoveTo(0, 0, 0, 0, 3000));
            EXPECT_FALSE(port.Write(data.data(), data.size(), taken));
            EXPECT_EQ(taken, 0u);
            port.ClosePort();
        });
        EXPECT_LT(later, 200ms);
    }
}

TEST_F(UsbDriverTest, JobDataIsTakenAsFarAsTheMemoryHasRoomAndUsblpComesBackOnClose) {
    EmulatedMill& mill = AddMill({.jobMemoryBytes = 4096});
    ASSERT_TRUE(Open());
    ASSERT_TRUE(mill.UsblpBound());
    const Bytes job = SlowJob(16 * 1024);
    std::uint32_t taken = 0;
    ASSERT_TRUE(port.Write(job.data(), job.size(), taken));
    EXPECT_GE(taken, 4096u);
    EXPECT_LT(taken, 4096u + 256);
    EXPECT_FALSE(mill.UsblpBound()) << "the claim took the interface from usblp";

    // Full: success with nothing taken, within the Write's time.
    std::uint32_t more = 1;
    const auto full =
        TimeOf([&] { EXPECT_TRUE(port.Write(job.data() + taken, job.size() - taken, more)); });
    EXPECT_EQ(more, 0u);
    EXPECT_GE(full, 90ms);
    EXPECT_LT(full, 500ms);
    EXPECT_EQ(mill.JobBytes(), Bytes(job.begin(), job.begin() + taken));

    EXPECT_TRUE(port.ClosePort());
    EXPECT_TRUE(mill.UsblpBound()) << "Close gives the interface back to usblp";
}

TEST_F(UsbDriverTest, JobBytesArriveExactlyAndInOrderOverManyWrites) {
    EmulatedMill& mill = AddMill({.speed = 4000});
    ASSERT_TRUE(Open());
    std::string text;
    for (int i = 0; text.size() < 600 * 1024; ++i)
        text += "PU" + std::to_string(i * 37 % 3000) + "," + std::to_string(i * 91 % 2000) + ";";
    const Bytes job(text.begin(), text.end());
    std::size_t sent = 0;
    int writes = 0;
    const auto end = Clock::now() + 60s;
    while (sent < job.size() && Clock::now() < end) {
        std::uint32_t taken = 0;
        const auto length = static_cast<std::uint32_t>(job.size() - sent);
        ASSERT_TRUE(port.Write(job.data() + sent, length, taken));
        ASSERT_LE(taken, length);
        sent += taken;
        ++writes;
    }
    EXPECT_EQ(sent, job.size());
    EXPECT_GT(writes, 12) << "the memory never filled: no Write took part of its slice";
    EXPECT_EQ(mill.JobBytesReceived(), job.size());
    EXPECT_TRUE(mill.JobBytes() == job) << "the bytes arrived changed or out of order";
}

TEST_F(UsbDriverTest, AnInterfaceHeldElsewhereFailsJobDataButNotFrames) {
    EmulatedMill& mill = AddMill({.usblp = false});
    ASSERT_TRUE(Open());
    const Bytes job = SlowJob(1024);
    std::uint32_t taken = 0;
    {
        // Another usbfs client holds it, as another program would.
        LibusbContext other;
        ASSERT_TRUE(other.Ok());
        const DeviceHandle holder = OpenAt(other.Get(), mill.PortPath());
        ASSERT_TRUE(holder);
        ASSERT_EQ(libusb_claim_interface(holder.get(), 0), 0);
        EXPECT_FALSE(port.Write(job.data(), job.size(), taken));
        EXPECT_EQ(port.ReadStatus(), 2);
        EXPECT_FALSE(port.Write(job.data(), job.size(), taken)) << "tried afresh, refused again";
    }
    // The holder's close reaches the mill on its own way: a Write soon after claims.
    EXPECT_TRUE(WaitUntil([&] { return port.Write(job.data(), job.size(), taken); }, 2s));
    EXPECT_EQ(taken, job.size());
    // Our claim keeps every other program's job data out until Close.
    const std::string child = TARNWICK_TEST_BIN "/usb_claim_child";
    EXPECT_EQ(ExitStatus(Spawn(*testbed, {child, mill.PortPath(), "0"})), 1);
    MachinePosition at;
    EXPECT_TRUE(port.ReadMachinePosition(at)) << "frames beside our claim";
    port.ClosePort();
    EXPECT_EQ(ExitStatus(Spawn(*testbed, {child, mill.PortPath(), "0"})), 0);
}

TEST_F(UsbDriverTest, FramesNeverWaitForAWriteThatWaitsForRoom) {
    EmulatedMill& mill = AddMill();
    ASSERT_TRUE(Open());
    mill.RefuseJobData(true);
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    std::thread output([&] {
        const Bytes job = SlowJob(64 * 1024);
        std::uint32_t taken = 0;
        while (!stop && port.Write(job.data(), job.size(), taken) && taken == 0) ++writes;
    });
    EXPECT_TRUE(WaitUntil([&] { return mill.UrbsInFlight() == 1; }));
    Clock::duration longest{};
    for (int i = 0; i < 300; ++i)
        longest = std::max(longest, TimeOf([&] { EXPECT_EQ(port.ReadStatus(), 2); }));
    stop = true;
    output.join();
    EXPECT_GE(writes.load(), 2) << "the polls did not overlap the writes";
    EXPECT_LT(longest, 50ms);
}

// Two programs on one machine: a write command holds the machine's port mutex
// from its send until the machine reports it done, so another process's write
// waits for all of it.
TEST_F(UsbDriverTest, AWriteOfAnotherProcessWaitsUntilItsMoveHasArrived) {
    AddMill();  // machine time at real speed: the move takes two seconds
    ASSERT_TRUE(Open());
    constexpr std::int32_t kFarX = 10000;
    const pid_t mover =
        Spawn(*testbed, {TARNWICK_TEST_BIN "/machine_port_mover", PortName("MDX-40"),
                         USB_DRIVER_DIR, std::to_string(kFarX)});
    ASSERT_GT(mover, 0);
    EXPECT_TRUE(WaitUntil([&] { return port.ReadStatus() == 1; }, 20s))
        << "the other process never started its move";

    port.SetOrigin(1, 2, 3, 4);  // reaches the machine once the move has arrived
    MachinePosition machine;
    ASSERT_TRUE(port.ReadMachinePosition(machine));
    EXPECT_EQ(machine, (MachinePosition{kFarX, 0, 10500, 0}));
    MachinePosition origin;
    ASSERT_TRUE(port.ReadOrigin(origin));
    EXPECT_EQ(origin, (MachinePosition{1, 2, 3, 4}));
    EXPECT_EQ(ExitStatus(mover), 0);
}

}  // namespace
