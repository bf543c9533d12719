#include "machine/frame_handler.h"

#include "machine/big_endian.h"
#include "machine/opcodes.h"

namespace sim {

namespace {

Counts GetCounts(const std::uint8_t* at) {
    return {GetS32(at), GetS32(at + 4), GetS32(at + 8), GetS32(at + 12)};
}

std::uint8_t* Grow(std::vector<std::uint8_t>& reply, std::size_t bytes) {
    const std::size_t at = reply.size();
    reply.resize(at + bytes);
    return reply.data() + at;
}

void AppendU32(std::vector<std::uint8_t>& reply, std::uint32_t value) {
    PutU32(Grow(reply, 4), value);
}

}  // namespace

bool FrameHandler::Handle(std::uint32_t code, std::span<const std::uint8_t> request,
                          std::uint32_t replyCapacity, std::vector<std::uint8_t>& reply) {
    reply.clear();
    if (request.empty()) return false;
    bool ok = false;
    if (code == kControlWrite) ok = Write(request);
    if (code == kControlRead) ok = Read(request, replyCapacity, reply);
    if (!ok || reply.size() > replyCapacity) {
        reply.clear();
        return false;
    }
    return true;
}

bool FrameHandler::Write(std::span<const std::uint8_t> f) {
    const std::size_t n = f.size();
    const std::uint8_t* p = f.data();
    switch (p[0]) {
        case op::kSetAddress:
            if (n != 7 || GetU16(p + 1) != 0 || GetU32(p + 3) != kSensorAddress) return false;
            m_addressSet = true;
            return true;
        case op::kPulseBits:
            if (n != 4 || GetU16(p + 1) > 1) return false;
            m_machine.SetOutputBits(GetU16(p + 1) == 1, p[3]);
            return true;
        case op::kWriteBlock:
            return n >= 3 && m_machine.WriteBlock(GetU16(p + 1), f.subspan(3));
        case op::kSetSpindle:
            if (n != 7 || GetU16(p + 1) != 3) return false;
            m_machine.SetSpindle(GetU32(p + 3));
            return true;
        case op::kSetOrigin:
            if (n != 19 || GetU16(p + 1) > 0xF) return false;
            m_machine.SetOrigin(GetU16(p + 1), GetCounts(p + 3));
            return true;
        case op::kFeedOverride:
        case op::kSpindleOverride:
            if (n != 5 || GetU16(p + 1) != 0) return false;
            if (p[0] == op::kFeedOverride) {
                m_machine.SetFeedOverride(GetU16(p + 3));
            } else {
                m_machine.SetSpindleOverride(GetU16(p + 3));
            }
            return true;
        case op::kProbeTo:
            if (n != 17 || GetU16(p + 1) != 0) return false;
            m_machine.ProbeTo(GetS32(p + 3), GetS32(p + 7), GetS32(p + 11), GetU16(p + 15));
            return true;
        case op::kMoveTo:
            if (n != 21 || GetU16(p + 1) != 0) return false;
            m_machine.MoveTo(GetCounts(p + 3), GetU16(p + 19));
            return true;
        default:
            return false;
    }
}

void FrameHandler::PutPosition(const Counts& c, std::vector<std::uint8_t>& reply) const {
    for (std::int32_t v : {c.x, c.y, c.z, c.a}) AppendU32(reply, static_cast<std::uint32_t>(v));
    reply.resize(kPositionReply);  // three trailing bytes, unused
}

bool FrameHandler::Read(std::span<const std::uint8_t> f, std::uint32_t replyCapacity,
                        std::vector<std::uint8_t>& reply) {
    const std::size_t n = f.size();
    const std::uint8_t* p = f.data();
    switch (p[0]) {
        case op::kWaitDone:
            if (n != 3 || GetU16(p + 1) != 0) return false;
            reply.assign(kWaitDoneReply, 0);
            reply[0] = m_machine.Completion();
            return true;
        case op::kReadMemory:
            if (n != 3 || GetU16(p + 1) != 1 || !m_addressSet) return false;
            reply.assign(kMemoryReply, 0);
            reply[0] = m_machine.SensorBits();
            return true;
        case op::kReadBlock:
            if (n != 3) return false;
            reply.resize(replyCapacity);
            return m_machine.ReadBlock(GetU16(p + 1), reply);
        case op::kMachinePosition:
        case op::kUserPosition:
            if (n != 1) return false;
            PutPosition(p[0] == op::kMachinePosition ? m_machine.MachinePosition()
                                                     : m_machine.UserPosition(),
                        reply);
            return true;
        case op::kStatus: {
            if (n != 1) return false;
            // Status block: status word, commands done, machine X, Y, Z, A,
            // spindle speed, three unused bytes.
            AppendU32(reply, m_machine.StatusWord());
            AppendU32(reply, m_machine.CommandsDone());
            const Counts c = m_machine.MachinePosition();
            for (std::int32_t v : {c.x, c.y, c.z, c.a}) AppendU32(reply, std::uint32_t(v));
            AppendU32(reply, static_cast<std::uint32_t>(m_machine.SpindleRpm()));
            reply.resize(kStatusReply);
            return true;
        }
        case op::kCommandsDone:
            if (n != 3 || GetU16(p + 1) != 0) return false;
            AppendU32(reply, m_machine.CommandsDone());
            return true;
        default:
            return false;
    }
}

}  // namespace sim
