#include "service/sim_fixture.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/program_folder.h"

namespace {

bool SendAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReceiveAll(int fd, std::uint8_t* bytes, std::size_t length) {
    std::size_t received = 0;
    while (received < length) {
        const ssize_t n = ::recv(fd, bytes + received, length - received, 0);
        if (n <= 0) return false;
        received += static_cast<std::size_t>(n);
    }
    return true;
}

void AppendBigEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(std::uint8_t(value >> shift));
}

}  // namespace

void SimServiceTest::SetUp() {
    char simPattern[] = "/tmp/tsvc-XXXXXX";  // short: socket paths have a length limit
    ASSERT_NE(::mkdtemp(simPattern), nullptr);
    m_simDir = simPattern;
    ::setenv("TARNWICK_SIM_DIR", m_simDir.c_str(), 1);
    ::setenv("TARNWICK_SIM_SPEED", "1000", 1);
    ::setenv("TARNWICK_SIM_LATENCY_US", "0", 1);
    char pattern[] = "/tmp/tarnwick-sim-service-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_folder = std::string(pattern) + "/";

    platform::SetProgramFolder(TARNWICK_PROGRAM_DIR);
    port.SetPortName(kModelMdx40);
    ASSERT_TRUE(port.OpenPort());
    config = std::make_unique<Configuration>(m_folder);
    config->WriteMachineProfile(1);
    std::string model;
    config->LoadSettings(port, model);
    profile = config->Profile();
    thread = std::make_unique<CCommandThread>(
        ServiceContext{port, *config, state, display, log, [](int) {}});
}

void SimServiceTest::TearDown() {
    thread.reset();
    port.ClosePort();
    log.Close();
    platform::SetProgramFolder("");
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    std::filesystem::remove_all(m_simDir, ignored);
}

// The control channel: kind 2 (text), code 0, capacity 0, length, text;
// answered by ok, length, text.
bool SimServiceTest::Panel(const std::string& command) {
    const std::string path = m_simDir + "/" + kModelMdx40 + ".ctl";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const timeval timeout{10, 0};  // a host that never answers fails the command
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::vector<std::uint8_t> request{2, 0, 0, 0, 0, 0, 0, 0, 0};
    AppendBigEndian(request, static_cast<std::uint32_t>(command.size()));
    request.insert(request.end(), command.begin(), command.end());
    std::uint8_t header[5] = {};
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
              SendAll(fd, request) && ReceiveAll(fd, header, sizeof header);
    if (ok) {
        const std::uint32_t length = (std::uint32_t(header[1]) << 24) |
                                     (std::uint32_t(header[2]) << 16) |
                                     (std::uint32_t(header[3]) << 8) | header[4];
        std::vector<std::uint8_t> answer(length);
        ok = ReceiveAll(fd, answer.data(), length) && header[0] == 1;
    }
    ::close(fd);
    return ok;
}

void SimServiceTest::Iterate(int n) {
    for (int i = 0; i < n; ++i) thread->Iterate();
}

bool SimServiceTest::IterateUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i < limit; ++i) {
        if (done()) return true;
        thread->Iterate();
    }
    return done();
}

int SimServiceTest::IterateUntilIdle(int limit) {
    for (int i = 0; i < limit; ++i) {
        if (state.cycleCode.load() == kNoCycle && state.scanKind.load() == kNoScan) return i;
        thread->Iterate();
    }
    return -1;
}

void SimServiceTest::StartScan(int kind) {
    state.scanStep = 0;
    state.scanKind = kind;
}

MachinePosition SimServiceTest::Position() {
    MachinePosition position;
    EXPECT_TRUE(port.ReadMachinePosition(position));
    return position;
}

MachinePosition SimServiceTest::Origin() {
    MachinePosition origin;
    EXPECT_TRUE(port.ReadOrigin(origin));
    return origin;
}
