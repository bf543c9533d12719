// The USB driver library's logic that needs no device: how a frame becomes a
// control transfer, how a machine is recognised and chosen, how failures are
// logged, and how Close waits for the calls still running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "driver/device_identity.h"
#include "driver/failure_run.h"
#include "driver/frame_setup.h"
#include "driver/machine_choice.h"
#include "driver/session_slot.h"

namespace usb_driver {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct FrameCase {
    const char* what;
    std::uint32_t code;
    Bytes frame;
    std::uint32_t replyLength;
    bool carried;
    std::uint8_t requestType = 0;
    std::uint16_t value = 0;
    std::uint16_t length = 0;
    Bytes data = {};
};

TEST(FrameSetup, EachFrameTravelsAsItsVendorTransferOrIsRefused) {
    const Bytes longWrite(3 + kMaxControlData + 1, 0x15);
    const std::uint32_t tooLong = kMaxControlData + 1;
    const FrameCase cases[] = {
        // Every command as the machine sees it is tested against the emulated
        // mill; here the edges the program does not send.
        {"value high byte first", kFrameWithReply, {0x16, 0x12, 0x34}, 38, true, 0xC1, 0x1234, 38},
        {"block read of nothing", kFrameWithReply, {0x16, 0, 4}, 0, true, 0xC1, 4, 0},
        {"reply length unused", kFrameNoReply, {0x20, 0, 3, 0, 9}, 256, true, 0x41, 3, 2, {0, 9}},
        {"unknown control code", 0x220040, {0x1F}, 31, false},
        {"empty", kFrameWithReply, {}, 31, false},
        {"two bytes", kFrameNoReply, {0x26, 0}, 0, false},
        {"one byte of a request with a value", kFrameWithReply, {0x02}, 6, false},
        {"one-byte request sent long", kFrameWithReply, {0x1F, 0, 0}, 31, false},
        {"read carrying data", kFrameWithReply, {0x16, 0, 4, 1}, 38, false},
        {"data beyond a control transfer", kFrameNoReply, longWrite, 0, false},
        {"reply beyond a control transfer", kFrameWithReply, {0x16, 0, 4}, tooLong, false},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.what);
        const FrameMapping mapping = MapFrame(c.code, c.frame, c.replyLength, 2);
        ASSERT_EQ(mapping.setup.has_value(), c.carried) << mapping.refusal;
        if (!c.carried) {
            EXPECT_FALSE(mapping.refusal.empty());
            continue;
        }
        const ControlSetup& setup = *mapping.setup;
        EXPECT_EQ(setup.requestType, c.requestType);
        EXPECT_EQ(setup.request, c.frame[0]);
        EXPECT_EQ(setup.value, c.value);
        EXPECT_EQ(setup.index, 2) << "wIndex is the printer interface";
        EXPECT_EQ(setup.length, c.length);
        EXPECT_EQ(Bytes(setup.outData.begin(), setup.outData.end()), c.data);
    }
}

TEST(DeviceIdentity, NamesAndDeviceIdsGiveTheModel) {
    const struct {
        const char* name;
        const char* model;
    } names[] = {{"Roland MDX-40", "MDX-40"},
                 {"MDX-40", "MDX-40"},
                 {"  Roland\tJWX-10 ", "JWX-10"},
                 {"Maker Model Two", "Model Two"},
                 {"", ""},
                 {" \t ", ""}};
    for (const auto& n : names) EXPECT_EQ(ModelOfName(n.name), n.model) << '"' << n.name << '"';

    const struct {
        const char* id;
        const char* model;
    } ids[] = {{"MFG:Maker;MDL:MDX-40;CMD:RML-1;CLS:PRINTER;", "MDX-40"},
               {"MANUFACTURER:Maker;MODEL:JWX-10;\n", "JWX-10"},
               {" mdl : mdx-40 ;CLS:PRINTER", "mdx-40"},
               {"CMD:MDL-1;CLS:PRINTER;", ""},
               {"MDL;MFG:Maker;", ""},
               {"", ""}};
    for (const auto& i : ids) EXPECT_EQ(ModelOfDeviceId(i.id), i.model) << '"' << i.id << '"';

    EXPECT_TRUE(ContainsNoCase("mdx-40", "MDX-40"));
    EXPECT_TRUE(ContainsNoCase("Desktop MDX-40A", "mdx-40"));
    EXPECT_FALSE(ContainsNoCase("MDX-4", "MDX-40"));
    EXPECT_FALSE(ContainsNoCase("JWX-10", "MDX-40"));
}

TEST(DeviceIdentity, RepliesAndDescriptorsAreReadWithinWhatArrived) {
    const std::string id = "MFG:Maker;MDL:MDX-40;";
    Bytes reply = {0, static_cast<std::uint8_t>(id.size() + 2)};
    reply.insert(reply.end(), id.begin(), id.end());
    EXPECT_EQ(DeviceIdOfReply(reply), id);
    reply[0] = 0x10;  // claims more than came
    EXPECT_EQ(DeviceIdOfReply(reply), id);
    EXPECT_EQ(DeviceIdOfReply(Bytes{0, 8, 'M', 'D', 0, 'X', 'Y', 'Z'}), "MD");
    EXPECT_EQ(DeviceIdOfReply(Bytes{0, 1, 'M'}), "");
    EXPECT_EQ(DeviceIdOfReply(Bytes{0}), "");

    const Bytes product = {14, 3, 'M', 0, 'D', 0, 'X', 0, '-', 0, '4', 0, '0', 0, 'x', 0};
    EXPECT_EQ(TextOfStringDescriptor(product), "MDX-40") << "bLength ends the text";
    EXPECT_EQ(TextOfStringDescriptor(Bytes{6, 3, 'A', 0, 0xE9, 0}), "A?");
    EXPECT_EQ(TextOfStringDescriptor(Bytes{7, 3, 'A', 0, 'B'}), "A");
    EXPECT_EQ(TextOfStringDescriptor(Bytes{4, 2, 'A', 0}), "") << "not a string descriptor";
}

TEST(MachineChoice, TheSettingChoosesElseTheFirstInBusPortOrder) {
    const std::vector<MachinePlace> found = {
        {2, {1}, "S-C"}, {1, {4, 2}, "S-B"}, {1, {4}, "S-A"}, {1, {10}, "S-B"}};
    EXPECT_EQ(found[1].PortPath(), "1-4.2");
    EXPECT_EQ(found[3].PortPath(), "1-10");
    const struct {
        const char* wanted;
        std::optional<std::size_t> chosen;
    } cases[] = {{"", 2},
                 {"1-4.2", 1},
                 {"2-1", 0},
                 {"S-C", 0},
                 {"S-B", 1},  // the same serial twice: the first in bus/port order
                 {"1-4.3", std::nullopt},
                 {"S-", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(ChooseMachine(found, c.wanted), c.chosen) << c.wanted;
    EXPECT_EQ(ChooseMachine({}, ""), std::nullopt);
    EXPECT_EQ(ChooseMachine(std::vector<MachinePlace>{{3, {1}, ""}}, ""), 0u);
}

TEST(FailureRun, ARunOfEqualFailuresIsToldByItsFirstAndItsEnd) {
    FailureRun run;
    using Lines = std::vector<std::string>;
    EXPECT_EQ(run.Succeeded(), Lines{});
    EXPECT_EQ(run.Failed("TIMEOUT", "status timed out"), Lines{"status timed out"});
    for (int i = 0; i < 99; ++i) EXPECT_EQ(run.Failed("TIMEOUT", "position timed out"), Lines{});
    EXPECT_EQ(run.Succeeded(),
              Lines{"working again after 100 failures in a row: status timed out"});
    EXPECT_EQ(run.Succeeded(), Lines{});

    EXPECT_EQ(run.Failed("PIPE", "stalled"), Lines{"stalled"});
    EXPECT_EQ(run.Failed("TIMEOUT", "timed out"), Lines{"timed out"}) << "one failure needs no end";
    EXPECT_EQ(run.Failed("TIMEOUT", "timed out"), Lines{});
    EXPECT_EQ(run.Failed("PIPE", "stalled"),
              (Lines{"another failure after 2 failures in a row: timed out", "stalled"}));
    EXPECT_EQ(run.Succeeded(), Lines{"working again after 1 failure: stalled"});
}

// Counts its own lives, and is checked on every use, so that a use after it
// was freed shows (AddressSanitizer reports it).
struct CountedSession {
    explicit CountedSession(std::atomic<int>& alive) : alive(alive) { ++alive; }
    ~CountedSession() { --alive; }
    int Use() const { return marker; }
    std::atomic<int>& alive;
    int marker = 42;
};

TEST(SessionSlot, CloseNeverFreesTheSessionUnderARunningCall) {
    using namespace std::chrono_literals;
    std::atomic<int> alive = 0;
    SessionSlot<CountedSession> slot;
    EXPECT_FALSE(slot.Acquire()) << "nothing open";
    EXPECT_EQ(slot.Retire(1s), nullptr);

    // A call running across Close: Close waits for it, then frees the session itself.
    slot.Install(std::make_shared<CountedSession>(alive));
    std::atomic<bool> leased = false;
    std::atomic<bool> finished = false;
    std::thread call([&] {
        auto lease = slot.Acquire();
        leased = true;
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(lease->Use(), 42);
        finished = true;
    });
    while (!leased) std::this_thread::yield();
    auto retired = slot.Retire(5s);
    EXPECT_TRUE(finished) << "Close returned under a running call";
    EXPECT_FALSE(slot.Acquire()) << "a call after Close fails";
    call.join();
    EXPECT_EQ(retired.use_count(), 1);
    retired.reset();
    EXPECT_EQ(alive, 0);

    // A call outliving the bound: Close returns; the call frees it when done.
    slot.Install(std::make_shared<CountedSession>(alive));
    std::atomic<bool> release = false;
    leased = false;
    std::thread slowCall([&] {
        auto lease = slot.Acquire();
        leased = true;
        while (!release) std::this_thread::yield();
        EXPECT_EQ(lease->Use(), 42);
    });
    while (!leased) std::this_thread::yield();
    slot.Retire(20ms).reset();
    EXPECT_EQ(alive, 1);
    release = true;
    slowCall.join();
    EXPECT_EQ(alive, 0);
}

TEST(SessionSlot, CallsOnManyThreadsAcrossOpenAndClose) {
    using namespace std::chrono_literals;
    std::atomic<int> alive = 0;
    SessionSlot<CountedSession> slot;
    std::atomic<bool> stop = false;
    std::atomic<long> calls = 0;
    std::vector<std::thread> callers;
    for (int i = 0; i < 3; ++i) {
        callers.emplace_back([&] {
            while (!stop) {
                if (auto lease = slot.Acquire()) calls += lease->Use() == 42;
            }
        });
    }
    for (int session = 0; session < 200; ++session) {
        slot.Install(std::make_shared<CountedSession>(alive));
        std::this_thread::sleep_for(100us);
        slot.Retire(1s).reset();
        EXPECT_EQ(alive, 0) << "Close frees it once the calls are done";
    }
    stop = true;
    for (auto& caller : callers) caller.join();
    EXPECT_GT(calls, 0);
}

}  // namespace
}  // namespace usb_driver
