#include "service/service_fixture.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/program_folder.h"

ServiceTest::ServiceTest() {
    char pattern[] = "/tmp/tarnwick-service-XXXXXX";
    m_folder = std::string(mkdtemp(pattern)) + "/";
    config = std::make_unique<Configuration>(m_folder);
    platform::SetProgramFolder(RECORDING_DRIVER_DIR);
    m_driver = LoadRecordingDriver();
    if (!m_driver) {
        ADD_FAILURE() << "recording driver not found";
        std::abort();
    }
    m_driver->Reset();
    port.SetPortName("Service Test " + std::to_string(getpid()));
    EXPECT_TRUE(port.OpenPort());
    SetStatus(2);
    SetPosition({1000, 2000, 3000, 0});
    std::string model;
    config->LoadSettings(port, model);  // no file yet: every value at its default
    thread = std::make_unique<CCommandThread>(
        ServiceContext{port, *config, state, display, log, [this](int ms) {
                           sleptMs += ms;
                           if (onSleep) onSleep();
                       }});
    ClearFrames();
}

ServiceTest::~ServiceTest() {
    thread.reset();
    port.ClosePort();
    log.Close();
    platform::SetProgramFolder("");
    std::filesystem::remove_all(m_folder);
}

void ServiceTest::SetStatus(std::uint32_t word, std::int32_t spindle) {
    m_driver->replies[0x1F] = StatusReply(word, spindle);
}

void ServiceTest::SetPosition(const MachinePosition& position) {
    m_driver->replies[0x17] = PositionReply(position);
}

void ServiceTest::SetCommandsDone(std::uint32_t done) {
    std::vector<std::uint8_t> bytes;
    AppendU32(bytes, done);
    m_driver->replies[0x29] = bytes;
}

void ServiceTest::Iterate(int n) {
    for (int i = 0; i < n; ++i) thread->Iterate();
}

bool ServiceTest::IterateUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        thread->Iterate();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::vector<std::vector<std::uint8_t>> ServiceTest::FramesWithOpcode(std::uint8_t opcode) {
    std::vector<std::vector<std::uint8_t>> frames;
    for (const auto& call : m_driver->Calls())
        if (call.Opcode() == opcode) frames.push_back(call.request);
    return frames;
}

std::vector<MachinePosition> ServiceTest::Moves() {
    std::vector<MachinePosition> moves;
    for (const auto& f : FramesWithOpcode(0x99))
        moves.push_back({FrameS32(f, 3), FrameS32(f, 7), FrameS32(f, 11), FrameS32(f, 15)});
    return moves;
}

std::vector<int> ServiceTest::MoveSpeeds() {
    std::vector<int> speeds;
    for (const auto& f : FramesWithOpcode(0x99)) speeds.push_back((f[19] << 8) | f[20]);
    return speeds;
}

std::string ServiceTest::ReadLog() {
    std::ifstream in(m_folder + LogFile::kFileName);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
