#pragma once
// CMachinePort: the one connection to the machine. It binds the driver library,
// holds the machine's two system-wide named mutexes, and turns every machine
// command into its binary frame for the library's device-control call.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/driver_api.h"
#include "link/frame.h"
#include "link/machine_position.h"
#include "platform/library_loader.h"
#include "platform/named_mutex.h"

class CMachinePort {
public:
    CMachinePort();
    ~CMachinePort();  // closes open mutex handles; does not call the library's Close
    CMachinePort(const CMachinePort&) = delete;
    CMachinePort& operator=(const CMachinePort&) = delete;

    void SetPortName(const std::string& name) { m_portName = name; }
    const std::string& PortName() const { return m_portName; }
    bool IsOpen() const { return m_open.load(); }

    bool OpenPort();
    bool ClosePort();
    bool Lock(int timeoutMs);
    bool Unlock();

    // Job data through the library's Write: true when the call succeeded,
    // with what the machine took in `written` (possibly 0: its memory is full).
    // Safe beside the commands of other threads.
    bool Write(const void* data, std::uint32_t length, std::uint32_t& written);
    bool CanWrite() const { return m_Write != nullptr; }

    // Completion of the last write command: true once the machine reports done.
    bool WaitDone();

    bool IsSensorConnected();
    bool IsSensorTouched();
    bool PulseBits(std::uint8_t mask);
    int WriteBlock(std::uint16_t block, const std::uint8_t* data, int length);
    int ReadBlock(std::uint16_t block, std::uint8_t* buffer, int length);
    bool ReadMachinePosition(MachinePosition& position);
    bool ReadUserPosition(MachinePosition& position);
    // The reduced status: 1, 2, 3, 129-131, 15, or -1 when the machine is lost.
    int ReadStatus();
    bool ReadSpindle(std::int32_t& speed);
    bool SetSpindle(std::uint32_t speed);
    bool SetOrigin(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t a);
    bool SetFeedOverride(std::uint16_t percent);
    bool SetSpindleOverride(std::uint16_t percent);
    bool ReadCommandsDone(std::uint32_t& count);
    bool ProbeTo(std::int32_t x, std::int32_t y, std::int32_t z, std::uint16_t speed);
    bool MoveTo(std::int32_t x, std::int32_t y, std::int32_t z, std::int32_t a, int speed);
    // Machine position minus user position; `origin` is untouched on failure.
    bool ReadOrigin(MachinePosition& origin);

    // While `abort` answers true (shutdown, a Stop the command thread has not
    // yet served), a completion wait gives up at its next poll and no move or
    // probe is started: stopping must never wait for a move to arrive. A wait
    // also gives up after the time-out, so that no caller can hang on a
    // machine that never finishes.
    void SetWaitAbort(std::function<bool()> abort);
    void SetWaitTimeoutMs(std::int64_t ms) { m_waitTimeoutMs.store(ms); }

    // Keeps the status bits under mask 0x8F and maps them to 1, 2, 3, 129-131 or 15.
    static int ReduceStatus(std::uint32_t word);

    static constexpr int kLockTimeoutMs = 10000;
    static constexpr std::int64_t kDefaultWaitTimeoutMs = 30 * 60 * 1000;

private:
    enum class Wait { OnSuccess, Always };
    int Call(std::uint32_t code, std::uint8_t* request, std::uint32_t requestLength,
             std::uint8_t* reply, std::uint32_t replyLength);
    bool Read(frame::Buffer& request, std::uint32_t requestLength, frame::Buffer& reply,
              std::uint32_t replyLength);
    bool Send(frame::Buffer& request, std::uint32_t requestLength);
    // The completion rule of write commands: lock, send, wait, unlock.
    bool SendLocked(frame::Buffer& request, std::uint32_t length, Wait wait);
    bool ReadSensorBits(std::uint8_t& bits);
    bool ReadPosition(std::uint8_t opcode, MachinePosition& position);
    bool ReadStatusBlock(frame::Buffer& reply);
    bool SendOverride(std::uint8_t opcode, std::uint16_t percent);
    std::function<bool()> WaitAbort() const;
    bool Aborting() const;

    std::unique_ptr<platform::NamedMutex> m_portMutex;
    std::unique_ptr<platform::NamedMutex> m_useMutex;
    platform::LibraryHandle m_library = nullptr;
    driver::OpenFn m_Open = nullptr;
    driver::UnusedFn m_Read = nullptr;
    driver::WriteFn m_Write = nullptr;
    driver::DevIoCtlFn m_DevIoCtl = nullptr;
    driver::UnusedFn m_ReadSlot = nullptr;
    driver::UnusedFn m_WriteSlot = nullptr;
    driver::UnusedFn m_StatusSlot = nullptr;
    driver::UnusedFn m_VersionSlot = nullptr;
    driver::CloseFn m_Close = nullptr;
    std::atomic<bool> m_open{false};
    std::string m_portName;

    mutable std::mutex m_waitAbortMutex;
    std::function<bool()> m_waitAbort;
    std::atomic<std::int64_t> m_waitTimeoutMs{kDefaultWaitTimeoutMs};
};
