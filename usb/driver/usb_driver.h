#pragma once
// The library's one state: the machine opened by name, shared by the
// program's threads. Open and Close run one at a time; frames and job data run
// side by side on the open session and never wait for Open or Close.
#include <cstdint>
#include <mutex>

#include "driver/driver_log.h"
#include "driver/session_slot.h"
#include "driver/usb_session.h"

namespace usb_driver {

class UsbDriver {
public:
    // Closes the session that is open, then finds the machine `name` asks for.
    bool Open(const char* name);
    // One command frame; never writes more than `replyLength` bytes.
    bool Control(std::uint32_t code, const void* request, std::uint32_t requestLength, void* reply,
                 std::uint32_t replyLength, std::uint32_t* returned);
    // One slice of job data; `*written` says what the machine took.
    bool Write(const void* data, std::uint32_t length, std::uint32_t* written);
    // True when a machine was open.
    bool Close();

private:
    bool CloseSession();

    DriverLog m_log;
    std::mutex m_openCloseMutex;
    SessionSlot<UsbSession> m_slot;
};

}  // namespace usb_driver
