// CMachinePort against the recording driver: the frames on the wire byte for
// byte, the completion rule, status reduction and the open/close sequence.
#include "link/machine_port.h"

#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "support/recording_driver_client.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t W = 0x220038;
constexpr std::uint32_t R = 0x22003C;

struct Frame {
    std::uint32_t code;
    Bytes request;
    std::uint32_t replyLength;
    bool operator==(const Frame&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Frame& f) {
    os << std::hex << "{code 0x" << f.code << ", [";
    for (auto b : f.request) os << " " << int(b);
    return os << " ], reply " << std::dec << f.replyLength << "}";
}
const Frame kWaitDone{R, {0x02, 0x00, 0x00}, 6};

RecordingDriver* Driver() { return LoadRecordingDriver(); }

std::string UniqueName(const char* stem) {
    return std::string(stem) + " " + std::to_string(getpid());
}

class MachinePortTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramFolder(RECORDING_DRIVER_DIR);
        platform::SetMessageBoxHandler(
            [this](const std::string& text, const std::string&) { messages.push_back(text); });
        ASSERT_NE(Driver(), nullptr) << dlerror();
        Driver()->Reset();
    }
    void TearDown() override {
        platform::SetMessageBoxHandler({});
        platform::SetProgramFolder("");
    }
    void Open() {
        port.SetPortName(UniqueName("Test Mill"));
        ASSERT_TRUE(port.OpenPort());
        Driver()->calls.clear();
    }
    std::vector<Frame> Sent() {
        std::vector<Frame> frames;
        for (const auto& c : Driver()->Calls())
            frames.push_back({c.code, c.request, c.replyLength});
        return frames;
    }

    CMachinePort port;
    std::vector<std::string> messages;
};

struct FrameCase {
    const char* name;
    std::function<void(CMachinePort&)> call;
    std::vector<Frame> frames;
};

TEST_F(MachinePortTest, EveryOperationSendsItsFramesByteForByte) {
    Open();
    std::uint8_t block[38];
    std::uint8_t data[22];
    for (int i = 0; i < 22; ++i) data[i] = static_cast<std::uint8_t>(0xA0 + i);
    Bytes writeBlock = {0x15, 0x00, 0x05};
    writeBlock.insert(writeBlock.end(), data, data + 22);
    MachinePosition pos;
    std::int32_t speed;
    std::uint32_t done;

    const std::vector<FrameCase> cases = {
        {"WaitDone", [](CMachinePort& p) { p.WaitDone(); }, {kWaitDone}},
        {"IsSensorConnected",
         [](CMachinePort& p) { p.IsSensorConnected(); },
         {{W, {0x03, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x54}, 0}, {R, {0x05, 0x00, 0x01}, 3}}},
        {"IsSensorTouched",
         [](CMachinePort& p) { p.IsSensorTouched(); },
         {{W, {0x03, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x54}, 0}, {R, {0x05, 0x00, 0x01}, 3}}},
        {"PulseBits",
         [](CMachinePort& p) { p.PulseBits(64); },
         {{W, {0x12, 0x00, 0x01, 0x40}, 0},
          kWaitDone,
          {W, {0x12, 0x00, 0x00, 0x40}, 0},
          kWaitDone}},
        {"WriteBlock",
         [&](CMachinePort& p) { p.WriteBlock(5, data, 22); },
         {{W, writeBlock, 0}, kWaitDone}},
        {"ReadBlock",
         [&](CMachinePort& p) { p.ReadBlock(4, block, 38); },
         {{R, {0x16, 0x00, 0x04}, 38}}},
        {"ReadMachinePosition",
         [&](CMachinePort& p) { p.ReadMachinePosition(pos); },
         {{R, {0x17}, 19}}},
        {"ReadUserPosition", [&](CMachinePort& p) { p.ReadUserPosition(pos); }, {{R, {0x1D}, 19}}},
        {"ReadStatus", [](CMachinePort& p) { p.ReadStatus(); }, {{R, {0x1F}, 31}}},
        {"ReadSpindle", [&](CMachinePort& p) { p.ReadSpindle(speed); }, {{R, {0x1F}, 31}}},
        {"SetSpindle",
         [](CMachinePort& p) { p.SetSpindle(12000); },
         {{W, {0x20, 0x00, 0x03, 0x00, 0x00, 0x2E, 0xE0}, 0}, kWaitDone}},
        {"SetOrigin",
         [](CMachinePort& p) { p.SetOrigin(1, -2, 0x01020304, -9000); },
         {{W,
           {0x23, 0x00, 0x0F, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE, 1, 2, 3, 4, 0xFF, 0xFF, 0xDC,
            0xD8},
           0},
          kWaitDone}},
        {"SetFeedOverride",
         [](CMachinePort& p) { p.SetFeedOverride(150); },
         {{W, {0x26, 0x00, 0x00, 0x00, 0x96}, 0}, kWaitDone}},
        {"SetSpindleOverride",
         [](CMachinePort& p) { p.SetSpindleOverride(200); },
         {{W, {0x28, 0x00, 0x00, 0x00, 0xC8}, 0}, kWaitDone}},
        {"ReadCommandsDone",
         [&](CMachinePort& p) { p.ReadCommandsDone(done); },
         {{R, {0x29, 0x00, 0x00}, 4}}},
        {"ProbeTo",
         [](CMachinePort& p) { p.ProbeTo(20000, -1, 300, 10); },
         {{W, {0x96, 0, 0, 0, 0, 0x4E, 0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1, 0x2C, 0x00, 0x0A}, 0},
          kWaitDone}},
        {"MoveTo",
         [](CMachinePort& p) { p.MoveTo(100, 200, 10500, 27000, 1500); },
         {{W,
           {0x99, 0, 0, 0, 0, 0, 100, 0, 0, 0, 200, 0, 0, 0x29, 0x04, 0, 0, 0x69, 0x78, 0x05, 0xDC},
           0},
          kWaitDone}},
    };
    for (const auto& c : cases) {
        Driver()->calls.clear();
        c.call(port);
        EXPECT_EQ(Sent(), c.frames) << c.name;
        for (const auto& call : Driver()->Calls()) {
            EXPECT_TRUE(call.returnedWasZeroed) << c.name;
            EXPECT_TRUE(call.overlappedWasNull) << c.name;
        }
    }
}

TEST_F(MachinePortTest, StatusWordIsReducedToTheSevenValues) {
    Open();
    const std::vector<std::pair<std::uint32_t, int>> table = {
        {0, 15},    {128, 15},         {1, 1},          {2, 2},     {3, 3},
        {129, 129}, {130, 130},        {131, 131},      {4, 15},    {0x8C, 15},
        {0x12, 2},  {0xFFFFFF82, 130}, {0xFFFFFF02, 2}, {0x70, 15}, {0x7F03, 3}};
    for (auto [word, reduced] : table) {
        Driver()->replies[0x1F] = {std::uint8_t(word >> 24), std::uint8_t(word >> 16),
                                   std::uint8_t(word >> 8), std::uint8_t(word)};
        EXPECT_EQ(port.ReadStatus(), reduced) << "word " << word;
    }
    Driver()->failures[0x1F] = 1;
    EXPECT_EQ(port.ReadStatus(), -1);
}

TEST_F(MachinePortTest, RepliesAreDecodedBigEndian) {
    Open();
    Driver()->replies[0x17] = {0, 0, 0x77, 0x24, 0xFF, 0xFF, 0xFF, 0x9C,
                               0, 0, 0x27, 0x10, 0,    1,    0,    0};
    Driver()->replies[0x1D] = {0, 0, 0x03, 0xE8, 0, 0, 0, 0, 0, 0, 0, 0x64, 0, 0, 0, 0};
    MachinePosition machine, user, origin;
    ASSERT_TRUE(port.ReadMachinePosition(machine));
    EXPECT_EQ(machine, (MachinePosition{30500, -100, 10000, 65536}));
    ASSERT_TRUE(port.ReadUserPosition(user));
    ASSERT_TRUE(port.ReadOrigin(origin));
    EXPECT_EQ(origin, (MachinePosition{29500, -100, 9900, 65536}));

    Bytes status(31, 0);
    status[24] = 0x00;
    status[25] = 0x00;
    status[26] = 0x3A;
    status[27] = 0x98;
    Driver()->replies[0x1F] = status;
    std::int32_t speed = -1;
    ASSERT_TRUE(port.ReadSpindle(speed));
    EXPECT_EQ(speed, 15000);

    Driver()->replies[0x29] = {0, 0, 0x08, 0x0C};
    std::uint32_t done = 0;
    ASSERT_TRUE(port.ReadCommandsDone(done));
    EXPECT_EQ(done, 2060u);

    Driver()->replies[0x05] = {0x01};  // cable in, bit 1 clear: touched
    EXPECT_TRUE(port.IsSensorConnected());
    EXPECT_TRUE(port.IsSensorTouched());
    Driver()->replies[0x05] = {0x02};
    EXPECT_FALSE(port.IsSensorConnected());
    EXPECT_FALSE(port.IsSensorTouched());
    Driver()->failures[0x03] = 1;  // the address frame fails: no read follows
    Driver()->calls.clear();
    Driver()->replies[0x05] = {0x01};
    EXPECT_FALSE(port.IsSensorConnected());
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(MachinePortTest, FailedReadsLeaveTheCallersValuesAlone) {
    Open();
    const MachinePosition before{1, 2, 3, 4};
    MachinePosition origin = before;
    Driver()->failures[0x17] = 1;
    EXPECT_FALSE(port.ReadOrigin(origin));
    Driver()->failures[0x1D] = 1;
    EXPECT_FALSE(port.ReadOrigin(origin));
    EXPECT_EQ(origin, before);

    std::uint8_t buffer[4] = {9, 9, 9, 9};
    Driver()->replies[0x16] = {1, 2, 3, 4};
    Driver()->calls.clear();
    EXPECT_EQ(port.ReadBlock(4, buffer, 0), 1);
    EXPECT_EQ(Sent(), (std::vector<Frame>{{R, {0x16, 0x00, 0x04}, 0}}));
    EXPECT_THAT(buffer, ::testing::ElementsAre(9, 9, 9, 9));
    Driver()->failures[0x16] = 1;
    EXPECT_EQ(port.ReadBlock(4, buffer, 4), 0);
    EXPECT_THAT(buffer, ::testing::ElementsAre(9, 9, 9, 9));
    EXPECT_EQ(port.ReadBlock(4, buffer, 4), 1);
    EXPECT_THAT(buffer, ::testing::ElementsAre(1, 2, 3, 4));
}

TEST_F(MachinePortTest, BlockCallsPassOnTheDriversResult) {
    Open();
    std::uint8_t data[2] = {1, 2};
    Driver()->successResult = 7;  // non-zero but not 1 still counts as sent
    EXPECT_EQ(port.WriteBlock(4, data, 2), 7);
    EXPECT_EQ(Sent().back(), kWaitDone);
    Driver()->successResult = 1;
    Driver()->failures[0x15] = 1;
    Driver()->calls.clear();
    EXPECT_EQ(port.WriteBlock(4, data, 2), 0);
    EXPECT_EQ(Sent().size(), 1u);  // no wait after a failed block write

    // More than fits in the frame buffer is refused before anything is sent.
    std::vector<std::uint8_t> big(300, 0x55);
    Driver()->calls.clear();
    EXPECT_EQ(port.WriteBlock(4, big.data(), 254), 0);
    EXPECT_EQ(port.WriteBlock(4, big.data(), -1), 0);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(port.WriteBlock(4, big.data(), 253), 1);

    // A read longer than the 256-byte reply buffer still lands whole.
    Driver()->replies[0x16] = Bytes(300, 0x42);
    EXPECT_EQ(port.ReadBlock(4, big.data(), 300), 1);
    EXPECT_EQ(big[299], 0x42);
}

TEST_F(MachinePortTest, MoveSpeedIsCappedAt3000) {
    Open();
    for (auto [asked, sent] :
         std::vector<std::pair<int, int>>{{5000, 3000}, {3000, 3000}, {2999, 2999}, {1, 1}}) {
        Driver()->calls.clear();
        port.MoveTo(0, 0, 0, 0, asked);
        const Bytes frame = Sent().at(0).request;
        EXPECT_EQ((frame[19] << 8) | frame[20], sent) << asked;
    }
}

TEST_F(MachinePortTest, CompletionRuleAfterFailedSends) {
    Open();
    // Setters report success even when the send failed, and do not wait.
    const std::vector<std::pair<std::uint8_t, std::function<bool()>>> setters = {
        {0x20, [&] { return port.SetSpindle(0); }},
        {0x23, [&] { return port.SetOrigin(0, 0, 0, 0); }},
        {0x26, [&] { return port.SetFeedOverride(100); }},
        {0x28, [&] { return port.SetSpindleOverride(100); }},
    };
    for (const auto& [opcode, call] : setters) {
        Driver()->calls.clear();
        Driver()->failures[opcode] = 1;
        EXPECT_TRUE(call()) << int(opcode);
        EXPECT_EQ(Sent().size(), 1u) << int(opcode);
    }
    // Moves and probes wait always and report the send.
    Driver()->calls.clear();
    Driver()->failures[0x99] = 1;
    EXPECT_FALSE(port.MoveTo(0, 0, 0, 0, 100));
    Driver()->failures[0x96] = 1;
    EXPECT_FALSE(port.ProbeTo(0, 0, 0, 10));
    const auto frames = Sent();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[1], kWaitDone);
    EXPECT_EQ(frames[3], kWaitDone);

    // PulseBits: a failed first frame stops it; a failed second frame is the result.
    Driver()->calls.clear();
    Driver()->failures[0x12] = 1;
    EXPECT_FALSE(port.PulseBits(64));
    EXPECT_EQ(Sent().size(), 1u);
    Driver()->calls.clear();
    Driver()->replies.clear();
    EXPECT_TRUE(port.PulseBits(32));
    EXPECT_EQ(Sent().size(), 4u);
}

TEST_F(MachinePortTest, WaitDonePollsUntilTheMachineIsDone) {
    Open();
    Driver()->busyPolls = 5;
    EXPECT_TRUE(port.WaitDone());
    EXPECT_EQ(Sent().size(), 6u);

    Driver()->doneByte = 3;  // neither busy nor done
    EXPECT_FALSE(port.WaitDone());
    Driver()->doneByte = 0;
    Driver()->failures[0x02] = 1;
    EXPECT_FALSE(port.WaitDone());

    // A machine that stays busy: the time-out and the abort both end the wait.
    Driver()->busyPolls = 1 << 30;
    port.SetWaitTimeoutMs(50);
    EXPECT_FALSE(port.WaitDone());
    port.SetWaitTimeoutMs(CMachinePort::kDefaultWaitTimeoutMs);
    std::atomic<bool> stop{false};
    port.SetWaitAbort([&] { return stop.load(); });
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        stop = true;
    });
    EXPECT_FALSE(port.WaitDone());
    stopper.join();

    // While the abort holds, moves and probes are not even sent; pulses still are.
    Driver()->busyPolls = 0;
    Driver()->calls.clear();
    EXPECT_FALSE(port.MoveTo(1, 2, 3, 4, 100));
    EXPECT_FALSE(port.ProbeTo(1, 2, 3, 10));
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(port.PulseBits(64));
    EXPECT_EQ(Sent().size(), 4u);
    port.SetWaitAbort(nullptr);
}

TEST_F(MachinePortTest, WriteCommandsReleaseThePortMutex) {
    Open();
    port.SetSpindle(5000);
    port.MoveTo(0, 0, 0, 0, 10);
    std::uint8_t data[1] = {0};
    port.WriteBlock(4, data, 1);
    port.PulseBits(64);
    // Another thread (the other one of the program) must get the lock at once.
    bool locked = false;
    std::thread other([&] {
        locked = port.Lock(0);
        if (locked) port.Unlock();
    });
    other.join();
    EXPECT_TRUE(locked);
}

TEST_F(MachinePortTest, OpenPassesTheFixedArgumentsAndNamesTheMutexes) {
    const std::string name = UniqueName("Roland Test");
    port.SetPortName(name);
    ASSERT_TRUE(port.OpenPort());
    EXPECT_TRUE(port.IsOpen());
    ASSERT_EQ(Driver()->opens.size(), 1u);
    const RecordedOpen& open = Driver()->opens[0];
    EXPECT_EQ(open.name, name);
    EXPECT_EQ(open.access, 0xC0000000u);
    EXPECT_EQ(open.share, 0u);
    EXPECT_EQ(open.disposition, 3u);
    EXPECT_EQ(open.flags, 128u);
    EXPECT_TRUE(open.securityWasNull);
    EXPECT_TRUE(open.templateWasNull);
    for (const char* suffix : {"_COM", "_USE"}) {
        bool existed = false;
        auto m = platform::NamedMutex::CreateOrOpen("Global\\" + name + suffix, &existed);
        ASSERT_NE(m, nullptr);
        EXPECT_TRUE(existed) << suffix;
    }
    EXPECT_TRUE(port.ClosePort());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(Driver()->closeCount, 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MachinePortTest, EmptyPortNameGivesBareTemplates) {
    port.SetPortName("");
    ASSERT_TRUE(port.OpenPort());
    EXPECT_EQ(Driver()->opens.at(0).name, "");
    bool existed = false;
    auto m = platform::NamedMutex::CreateOrOpen("Global\\_COM", &existed);
    EXPECT_TRUE(existed);
    port.ClosePort();
}

TEST_F(MachinePortTest, MissingLibraryCreatesNoMutex) {
    platform::SetProgramFolder("/nonexistent-folder");
    const std::string name = UniqueName("Absent Mill");
    port.SetPortName(name);
    EXPECT_FALSE(port.OpenPort());
    EXPECT_THAT(messages, ::testing::ElementsAre("Can't find the RDUPSLT.DLL file."));
    bool existed = true;
    auto m = platform::NamedMutex::CreateOrOpen("Global\\" + name + "_COM", &existed);
    EXPECT_FALSE(existed);
    EXPECT_FALSE(port.ClosePort());  // nothing to close, and no crash
}

TEST_F(MachinePortTest, FailedOpenClosesTheMutexesButCloseStillCallsTheLibrary) {
    Driver()->openResult = 0;
    const std::string name = UniqueName("Busy Mill");
    port.SetPortName(name);
    EXPECT_FALSE(port.OpenPort());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_THAT(messages, ::testing::ElementsAre("Couldn't open port to Roland machine."));
    bool existed = true;
    auto m = platform::NamedMutex::CreateOrOpen("Global\\" + name + "_COM", &existed);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(port.ClosePort());
    EXPECT_EQ(Driver()->closeCount, 1);
}

TEST_F(MachinePortTest, DestructionDoesNotCloseTheDevice) {
    {
        CMachinePort other;
        other.SetPortName(UniqueName("Scoped Mill"));
        ASSERT_TRUE(other.OpenPort());
    }
    EXPECT_EQ(Driver()->closeCount, 0);
}

TEST_F(MachinePortTest, LockSucceedsOnAMutexAbandonedByACrashedProcess) {
    Open();
    const std::string name = "Global\\" + port.PortName() + "_COM";
    const pid_t child = fork();
    if (child == 0) {
        auto m = platform::NamedMutex::CreateOrOpen(name);
        if (!m || m->Wait(1000) != platform::WaitResult::Acquired) _exit(1);
        _exit(0);  // dies holding it
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(port.Lock(1000));
    EXPECT_TRUE(port.Unlock());
}

}  // namespace
