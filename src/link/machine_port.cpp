#include "link/machine_port.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "link/frame.h"
#include "platform/message_box.h"
#include "platform/system_clock.h"

namespace {

constexpr const char* kNoLibraryText = "Can't find the RDUPSLT.DLL file.";
constexpr const char* kWrongMutexText = "Wrong Mutex for Roland machine.";
constexpr const char* kOpenFailedText = "Couldn't open port to Roland machine.";

// Opcodes.
constexpr std::uint8_t kOpWaitDone = 0x02;
constexpr std::uint8_t kOpSetAddress = 0x03;
constexpr std::uint8_t kOpReadAddress = 0x05;
constexpr std::uint8_t kOpPulseBits = 0x12;
constexpr std::uint8_t kOpWriteBlock = 0x15;
constexpr std::uint8_t kOpReadBlock = 0x16;
constexpr std::uint8_t kOpMachinePosition = 0x17;
constexpr std::uint8_t kOpUserPosition = 0x1D;
constexpr std::uint8_t kOpStatus = 0x1F;
constexpr std::uint8_t kOpSetSpindle = 0x20;
constexpr std::uint8_t kOpSetOrigin = 0x23;
constexpr std::uint8_t kOpFeedOverride = 0x26;
constexpr std::uint8_t kOpSpindleOverride = 0x28;
constexpr std::uint8_t kOpCommandsDone = 0x29;
constexpr std::uint8_t kOpProbeTo = 0x96;
constexpr std::uint8_t kOpMoveTo = 0x99;

constexpr std::uint32_t kSensorAddress = 0x00FFFF54;
constexpr std::uint32_t kWaitDoneReplyLength = 6;
constexpr std::uint32_t kPositionReplyLength = 19;
constexpr std::uint32_t kStatusReplyLength = 31;
constexpr std::size_t kSpindleOffset = 24;
constexpr int kMaxMoveSpeed = 3000;
// A block write frame is the opcode, the block number and the data in 256 bytes.
constexpr int kMaxBlockWriteLength = static_cast<int>(frame::kBufferSize) - 3;

bool IsBusyReply(std::uint8_t state) { return state == 1 || state == 2; }

}  // namespace

CMachinePort::CMachinePort() = default;

// Destruction closes the mutex handles (the unique_ptrs) but leaves the
// library's device open: ClosePort is the only place that closes it.
CMachinePort::~CMachinePort() = default;

int CMachinePort::ReduceStatus(std::uint32_t word) {
    const std::uint32_t masked = word & 0x8F;
    switch (masked) {
        case 1:
        case 2:
        case 3:
        case 129:
        case 130:
        case 131:
            return static_cast<int>(masked);
        default:
            return 15;
    }
}

bool CMachinePort::OpenPort() {
    m_portMutex.reset();
    m_useMutex.reset();
    m_Open = nullptr;
    m_Read = m_ReadSlot = m_WriteSlot = m_StatusSlot = m_VersionSlot = nullptr;
    m_Write = nullptr;
    m_DevIoCtl = nullptr;
    m_Close = nullptr;

    m_library = platform::LoadLibraryByName(driver::kDriverLibraryName);
    if (!m_library) {
        platform::ShowMessageBox(kNoLibraryText);
        return false;
    }
    auto find = [this](const char* name) { return platform::FindEntryPoint(m_library, name); };
    m_Open = reinterpret_cast<driver::OpenFn>(find("Open"));
    m_Read = reinterpret_cast<driver::UnusedFn>(find("Read"));
    m_Write = reinterpret_cast<driver::WriteFn>(find("Write"));
    m_DevIoCtl = reinterpret_cast<driver::DevIoCtlFn>(find("DevIoCtl"));
    m_ReadSlot = reinterpret_cast<driver::UnusedFn>(find("ReadSlot"));
    m_WriteSlot = reinterpret_cast<driver::UnusedFn>(find("WriteSlot"));
    m_StatusSlot = reinterpret_cast<driver::UnusedFn>(find("StatusSlot"));
    m_VersionSlot = reinterpret_cast<driver::UnusedFn>(find("VersionSlot"));
    m_Close = reinterpret_cast<driver::CloseFn>(find("Close"));

    m_portMutex = platform::NamedMutex::CreateOrOpen("Global\\" + m_portName + "_COM");
    m_useMutex = platform::NamedMutex::CreateOrOpen("Global\\" + m_portName + "_USE");
    if (!m_portMutex || !m_useMutex) {
        platform::ShowMessageBox(kWrongMutexText);
        return false;
    }

    // A library without an Open entry point cannot open the machine; calling
    // through the null pointer would crash instead.
    const int result = m_Open
                           ? m_Open(m_portName.c_str(), driver::kOpenAccess, driver::kOpenShare,
                                    nullptr, driver::kOpenDisposition, driver::kOpenFlags, nullptr)
                           : 0;
    if (result != 1) {
        platform::ShowMessageBox(kOpenFailedText);
        m_portMutex.reset();
        m_useMutex.reset();
    }
    m_open = (result == 1);
    return m_open;
}

bool CMachinePort::ClosePort() {
    const int result = m_Close ? m_Close() : 0;
    m_portMutex.reset();
    m_useMutex.reset();
    m_open = false;
    return result == 1;
}

bool CMachinePort::Lock(int timeoutMs) {
    if (!m_portMutex) return false;
    const platform::WaitResult r = m_portMutex->Wait(timeoutMs);
    return r == platform::WaitResult::Acquired || r == platform::WaitResult::Abandoned;
}

bool CMachinePort::Unlock() { return m_portMutex && m_portMutex->Release(); }

int CMachinePort::Call(std::uint32_t code, std::uint8_t* request, std::uint32_t requestLength,
                       std::uint8_t* reply, std::uint32_t replyLength) {
    if (!m_DevIoCtl) return 0;
    std::uint32_t returned = 0;
    return m_DevIoCtl(code, request, requestLength, reply, replyLength, &returned, nullptr);
}

bool CMachinePort::Read(frame::Buffer& request, std::uint32_t requestLength, frame::Buffer& reply,
                        std::uint32_t replyLength) {
    return Call(driver::IOCTL_MACHINE_READ, request.data(), requestLength, reply.data(),
                replyLength) == 1;
}

bool CMachinePort::Send(frame::Buffer& request, std::uint32_t requestLength) {
    frame::Buffer reply{};
    return Call(driver::IOCTL_MACHINE_WRITE, request.data(), requestLength, reply.data(), 0) == 1;
}

bool CMachinePort::Write(const void* data, std::uint32_t length, std::uint32_t& written) {
    written = 0;
    if (!m_Write || !m_open.load()) return false;
    const bool ok = m_Write(data, length, &written, nullptr) == 1;
    // A library that claims more than it was given must not move a caller past its data.
    written = ok ? std::min(written, length) : 0;
    return ok;
}

void CMachinePort::SetWaitAbort(std::function<bool()> abort) {
    std::lock_guard lock(m_waitAbortMutex);
    m_waitAbort = std::move(abort);
}

std::function<bool()> CMachinePort::WaitAbort() const {
    std::lock_guard lock(m_waitAbortMutex);
    return m_waitAbort;
}

bool CMachinePort::Aborting() const {
    const std::function<bool()> abort = WaitAbort();
    return abort && abort();
}

bool CMachinePort::WaitDone() {
    frame::Buffer request{};
    const std::uint32_t length = frame::Writer(request).Byte(kOpWaitDone).U16(0).Length();
    const std::int64_t start = platform::SteadyMs();
    const std::function<bool()> abort = WaitAbort();
    for (;;) {
        frame::Buffer reply{};
        if (!Read(request, length, reply, kWaitDoneReplyLength)) return false;
        if (!IsBusyReply(reply[0])) return reply[0] == 0;
        if (abort && abort()) return false;
        if (platform::SteadyMs() - start > m_waitTimeoutMs.load()) return false;
    }
}

bool CMachinePort::SendLocked(frame::Buffer& request, std::uint32_t length, Wait wait) {
    Lock(kLockTimeoutMs);  // goes on after a time-out, as every sender does
    const bool sent = Send(request, length);
    if (sent || wait == Wait::Always) WaitDone();
    Unlock();
    return sent;
}

bool CMachinePort::ReadSensorBits(std::uint8_t& bits) {
    frame::Buffer address{};
    const std::uint32_t addressLength =
        frame::Writer(address).Byte(kOpSetAddress).U16(0).U32(kSensorAddress).Length();
    if (!Send(address, addressLength)) return false;
    frame::Buffer request{};
    const std::uint32_t length = frame::Writer(request).Byte(kOpReadAddress).U16(1).Length();
    frame::Buffer reply{};
    if (!Read(request, length, reply, 3)) return false;
    bits = reply[0];
    return true;
}

bool CMachinePort::IsSensorConnected() {
    std::uint8_t bits = 0;
    return ReadSensorBits(bits) && (bits & 0x01) != 0;
}

bool CMachinePort::IsSensorTouched() {
    std::uint8_t bits = 0;
    return ReadSensorBits(bits) && (bits & 0x02) == 0;
}

bool CMachinePort::PulseBits(std::uint8_t mask) {
    Lock(kLockTimeoutMs);
    bool sent = false;
    for (std::uint16_t level : {std::uint16_t{1}, std::uint16_t{0}}) {
        frame::Buffer request{};
        const std::uint32_t length =
            frame::Writer(request).Byte(kOpPulseBits).U16(level).Byte(mask).Length();
        sent = Send(request, length);
        if (!sent) break;
        WaitDone();
    }
    Unlock();
    return sent;
}

int CMachinePort::WriteBlock(std::uint16_t block, const std::uint8_t* data, int length) {
    // More than fits in the 256-byte frame would overrun it; refuse without sending.
    if (length < 0 || length > kMaxBlockWriteLength || (length > 0 && !data)) return 0;
    frame::Buffer request{};
    const std::uint32_t requestLength = frame::Writer(request)
                                            .Byte(kOpWriteBlock)
                                            .U16(block)
                                            .Bytes(data, static_cast<std::size_t>(length))
                                            .Length();
    Lock(kLockTimeoutMs);
    frame::Buffer reply{};
    const int result =
        Call(driver::IOCTL_MACHINE_WRITE, request.data(), requestLength, reply.data(), 0);
    if (result != 0) WaitDone();
    Unlock();
    return result;
}

int CMachinePort::ReadBlock(std::uint16_t block, std::uint8_t* buffer, int length) {
    frame::Buffer request{};
    const std::uint32_t requestLength =
        frame::Writer(request).Byte(kOpReadBlock).U16(block).Length();
    const std::uint32_t replyLength = static_cast<std::uint32_t>(length) & 0xFFFF;
    // The reply buffer always holds what was asked for, even past 256 bytes.
    std::vector<std::uint8_t> reply(std::max<std::size_t>(frame::kBufferSize, replyLength));
    const int result =
        Call(driver::IOCTL_MACHINE_READ, request.data(), requestLength, reply.data(), replyLength);
    if (result != 0 && length > 0 && buffer) {
        std::memcpy(buffer, reply.data(), std::min<std::size_t>(length, replyLength));
    }
    return result;
}

bool CMachinePort::ReadPosition(std::uint8_t opcode, MachinePosition& position) {
    frame::Buffer request{};
    const std::uint32_t length = frame::Writer(request).Byte(opcode).Length();
    frame::Buffer reply{};
    if (!Read(request, length, reply, kPositionReplyLength)) return false;
    position = frame::GetPosition(reply.data());
    return true;
}

bool CMachinePort::ReadMachinePosition(MachinePosition& position) {
    return ReadPosition(kOpMachinePosition, position);
}

bool CMachinePort::ReadUserPosition(MachinePosition& position) {
    return ReadPosition(kOpUserPosition, position);
}

bool CMachinePort::ReadStatusBlock(frame::Buffer& reply) {
    frame::Buffer request{};
    const std::uint32_t length = frame::Writer(request).Byte(kOpStatus).Length();
    return Read(request, length, reply, kStatusReplyLength);
}

int CMachinePort::ReadStatus() {
    frame::Buffer reply{};
    if (!ReadStatusBlock(reply)) return -1;
    return ReduceStatus(frame::GetU32(reply.data()));
}

bool CMachinePort::ReadSpindle(std::int32_t& speed) {
    frame::Buffer reply{};
    if (!ReadStatusBlock(reply)) return false;
    speed = frame::GetS32(reply.data() + kSpindleOffset);
    return true;
}

bool CMachinePort::SetSpindle(std::uint32_t speed) {
    frame::Buffer request{};
    const std::uint32_t length =
        frame::Writer(request).Byte(kOpSetSpindle).U16(3).U32(speed).Length();
    SendLocked(request, length, Wait::OnSuccess);
    return true;
}

bool CMachinePort::SetOrigin(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t a) {
    frame::Buffer request{};
    const std::uint32_t length =
        frame::Writer(request).Byte(kOpSetOrigin).U16(0x000F).S32(x).S32(y).S32(z).S32(a).Length();
    SendLocked(request, length, Wait::OnSuccess);
    return true;
}

bool CMachinePort::SendOverride(std::uint8_t opcode, std::uint16_t percent) {
    frame::Buffer request{};
    const std::uint32_t length = frame::Writer(request).Byte(opcode).U16(0).U16(percent).Length();
    SendLocked(request, length, Wait::OnSuccess);
    return true;
}

bool CMachinePort::SetFeedOverride(std::uint16_t percent) {
    return SendOverride(kOpFeedOverride, percent);
}

bool CMachinePort::SetSpindleOverride(std::uint16_t percent) {
    return SendOverride(kOpSpindleOverride, percent);
}

bool CMachinePort::ReadCommandsDone(std::uint32_t& count) {
    frame::Buffer request{};
    const std::uint32_t length = frame::Writer(request).Byte(kOpCommandsDone).U16(0).Length();
    frame::Buffer reply{};
    if (!Read(request, length, reply, 4)) return false;
    count = frame::GetU32(reply.data());
    return true;
}

bool CMachinePort::ProbeTo(std::int32_t x, std::int32_t y, std::int32_t z, std::uint16_t speed) {
    if (Aborting()) return false;  // a pending stop: nothing starts moving
    frame::Buffer request{};
    const std::uint32_t length =
        frame::Writer(request).Byte(kOpProbeTo).U16(0).S32(x).S32(y).S32(z).U16(speed).Length();
    return SendLocked(request, length, Wait::Always);
}

bool CMachinePort::MoveTo(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t a,
                          int speed) {
    if (Aborting()) return false;  // a pending stop: nothing starts moving
    const auto wireSpeed = static_cast<std::uint16_t>(std::clamp(speed, 0, kMaxMoveSpeed));
    frame::Buffer request{};
    const std::uint32_t length = frame::Writer(request)
                                     .Byte(kOpMoveTo)
                                     .U16(0)
                                     .S32(x)
                                     .S32(y)
                                     .S32(z)
                                     .S32(a)
                                     .U16(wireSpeed)
                                     .Length();
    return SendLocked(request, length, Wait::Always);
}

bool CMachinePort::ReadOrigin(MachinePosition& origin) {
    MachinePosition machine;
    MachinePosition user;
    if (!ReadMachinePosition(machine) || !ReadUserPosition(user)) return false;
    // Wrapping subtraction: a garbage reply must not be undefined behaviour.
    auto minus = [](std::int32_t a, std::int32_t b) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) -
                                         static_cast<std::uint32_t>(b));
    };
    origin = {minus(machine.x, user.x), minus(machine.y, user.y), minus(machine.z, user.z),
              minus(machine.a, user.a)};
    return true;
}
