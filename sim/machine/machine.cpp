#include "machine/machine.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kMaxControlSpeed = 3000;    // mm/min
constexpr double kMmPerSecond = 60;          // mm/min in one mm/s
constexpr std::uint32_t kSpindleCodes = 15;  // !RC 0..15 is a code, above an rpm

}  // namespace

Machine::Machine(const MachineProfile& profile, const Clock& clock)
    : m_profile(profile),
      m_clock(clock),
      m_geometry(profile),
      m_parameters(profile),
      m_time(clock.Now()),
      m_position{0, 0, double(profile.maxZ), 0},
      m_interpreter(*this),
      m_parser(m_interpreter),
      m_spindleRpm(static_cast<std::uint32_t>(profile.spindleMinRpm)) {}

// --- time ---------------------------------------------------------------

void Machine::Update() { AdvanceTo(std::max(m_time, m_clock.Now())); }

void Machine::AdvanceTo(Nanos now) {
    for (;;) {
        if (m_motion) {
            const double rate = m_feedOverride / 100.0;
            if (rate <= 0) break;  // feed hold: the move waits
            const Nanos need = m_motion->Remaining(rate);
            if (m_time + need <= now) {
                m_time += need;
                FinishMotion();
                continue;
            }
            m_motion->Advance(now - m_time, rate);
            m_position = m_motion->Position();
            break;
        }
        if (m_dwellUntil) {
            if (*m_dwellUntil > now) break;
            m_time = std::max(m_time, *m_dwellUntil);
            m_dwellUntil.reset();
            continue;
        }
        if (!StepJob()) break;
    }
    m_time = now;
}

void Machine::StartMotion(Motion::Owner owner, const Point& target, double mmPerMin) {
    m_motion.emplace(owner, m_position, target, mmPerMin, m_profile);
}

void Machine::FinishMotion() {
    m_position = m_motion->Target();
    const auto owner = m_motion->GetOwner();
    m_motion.reset();
    if (owner == Motion::Owner::Park && !m_parkLegs.empty()) {
        const Point next = m_parkLegs.front();
        m_parkLegs.pop_front();
        StartMotion(owner, next, kMaxControlSpeed);
    }
}

void Machine::PreemptJobMotion() {
    if (m_motion && m_motion->GetOwner() == Motion::Owner::Job) {
        m_jobResume = Resume{m_motion->Target(), m_motion->MmPerMin()};
    }
    m_motion.reset();
    m_parkLegs.clear();
}

// --- job execution ------------------------------------------------------

bool Machine::StepJob() {
    if (m_halted || m_view || Clearing()) return false;
    if (m_jobResume) {
        StartMotion(Motion::Owner::Job, m_jobResume->target, m_jobResume->mmPerMin);
        m_jobResume.reset();
        return true;
    }
    auto& ops = m_interpreter.Ops();
    // Bytes are parsed only until they yield something to do, so that the
    // rest waits in the buffer (and counts as held) until its time comes.
    while (ops.empty()) {
        const auto bytes = m_jobBuffer.Front();
        if (bytes.empty()) break;
        std::size_t used = 0;
        while (used < bytes.size() && ops.empty()) m_parser.Feed(bytes[used++]);
        m_jobBuffer.Consume(used);
    }
    if (ops.empty()) return false;
    const JobOp op = ops.front();
    ops.pop_front();
    Execute(op);
    return true;
}

void Machine::Execute(const JobOp& op) {
    switch (op.kind) {
        case JobOp::Kind::Move: {
            const Point machine{op.target.x + m_origin.x, op.target.y + m_origin.y,
                                op.target.z + m_origin.z, op.target.a + m_origin.a};
            bool clamped = false;
            const Point target = ClampToTravel(machine, &clamped);
            if (clamped) ++m_travelClamps;
            if (m_jobMoves.size() < kJobMovesKept) m_jobMoves.push_back(ToCounts(target));
            StartMotion(Motion::Owner::Job, target, op.value * kMmPerSecond);
            break;
        }
        case JobOp::Kind::Dwell:
            m_dwellUntil = m_time + Nanos(static_cast<Nanos::rep>(op.value * 1e6));
            break;
        case JobOp::Kind::SpindleOn:
            m_spindleOn = op.value != 0;
            break;
        case JobOp::Kind::SpindleSpeed: {
            const double n = std::max(0.0, op.value);
            const double range = m_profile.spindleMaxRpm - m_profile.spindleMinRpm;
            const double rpm =
                n <= kSpindleCodes ? m_profile.spindleMinRpm + range * n / kSpindleCodes : n;
            m_spindleRpm = static_cast<std::uint32_t>(std::lround(
                std::clamp(rpm, double(m_profile.spindleMinRpm), double(m_profile.spindleMaxRpm))));
            break;
        }
        case JobOp::Kind::CommandDone:
            ++m_commandsDone;
            break;
    }
}

void Machine::ReceiveJobData(std::span<const std::uint8_t> bytes) {
    Update();
    if (Clearing() || bytes.empty())
        return;  // memory is being cleared: whatever arrives is dropped
    if (!JobActive() && m_jobEndReported) {
        m_commandsDone = 0;
        m_jobMoves.clear();
        m_halted = false;
        m_interpreter.SetPosition(UserPoint());
    }
    m_jobEndReported = false;
    m_jobBuffer.Append(bytes);
}

std::size_t Machine::JobBytesQueued() {
    Update();
    return m_jobBuffer.Size();
}

double Machine::UserTopZ() const { return m_profile.maxZ - m_origin.z; }

// --- control commands ---------------------------------------------------

Point Machine::ClampToTravel(const Point& p, bool* clamped) const {
    const Point limited{std::clamp(p.x, 0.0, double(m_profile.maxX)),
                        std::clamp(p.y, 0.0, double(m_profile.maxY)),
                        std::clamp(p.z, 0.0, double(m_profile.maxZ)), p.a};
    if (clamped) *clamped = limited.x != p.x || limited.y != p.y || limited.z != p.z;
    return limited;
}

void Machine::MoveTo(const Counts& target, double mmPerMin) {
    Update();
    m_lastCommandMoves = true;
    PreemptJobMotion();
    StartMotion(Motion::Owner::Control, ClampToTravel(ToPoint(target)),
                std::clamp(mmPerMin, 1.0, kMaxControlSpeed));
}

void Machine::ProbeTo(std::int32_t x, std::int32_t y, std::int32_t z, double mmPerMin) {
    Update();
    m_lastCommandMoves = true;
    PreemptJobMotion();
    const Point target = ClampToTravel({double(x), double(y), double(z), m_position.a});
    // The machine feels a touch only through the sensor cable.
    const auto contact =
        m_cable ? m_geometry.FirstContact(m_position, target, m_toolLength) : std::nullopt;
    StartMotion(Motion::Owner::Probe, contact.value_or(target),
                std::clamp(mmPerMin, 1.0, kMaxControlSpeed));
}

void Machine::SetOrigin(unsigned axisMask, const Counts& origin) {
    Update();
    m_lastCommandMoves = false;
    if (axisMask & 1) m_origin.x = origin.x;
    if (axisMask & 2) m_origin.y = origin.y;
    if (axisMask & 4) m_origin.z = origin.z;
    if (axisMask & 8) m_origin.a = origin.a;
}

void Machine::SetSpindle(std::uint32_t rpm) {
    Update();
    m_lastCommandMoves = false;
    m_spindleOn = rpm != 0;
    if (rpm != 0) {
        m_spindleRpm =
            std::clamp<std::uint32_t>(rpm, m_profile.spindleMinRpm, m_profile.spindleMaxRpm);
    }
}

void Machine::SetFeedOverride(std::uint32_t percent) {
    Update();
    m_lastCommandMoves = false;
    m_feedOverride = std::min(percent, kMaxOverride);
}

void Machine::SetSpindleOverride(std::uint32_t percent) {
    Update();
    m_lastCommandMoves = false;
    m_spindleOverride = std::min(percent, kMaxOverride);
}

void Machine::SetOutputBits(bool raise, std::uint8_t mask) {
    Update();
    m_lastCommandMoves = false;
    if (raise) {
        m_outputBits |= mask;
        return;
    }
    const std::uint8_t falling = m_outputBits & mask;
    m_outputBits &= static_cast<std::uint8_t>(~mask);
    if (falling & kHaltBit) Halt();
    if (falling & kClearBit) ClearMemory();
}

void Machine::Halt() {
    m_motion.reset();
    m_parkLegs.clear();
    m_jobResume.reset();
    m_dwellUntil.reset();
    m_halted = true;
}

void Machine::ClearMemory() {
    Halt();
    m_halted = false;
    m_jobBuffer.Clear();
    m_parser.Reset();
    m_interpreter.Abort();
    m_clearingUntil = m_time + kClearingPeriod;
}

bool Machine::ReadBlock(std::uint16_t block, std::span<std::uint8_t> out) {
    return m_parameters.Read(block, out);
}

bool Machine::WriteBlock(std::uint16_t block, std::span<const std::uint8_t> data) {
    m_lastCommandMoves = false;
    return m_parameters.Write(block, data);
}

// --- panel --------------------------------------------------------------

void Machine::SetViewMode(bool on) {
    Update();
    if (on == m_view) return;
    m_view = on;
    if (!on) return;  // the job, if any, goes on from where the table is
    PreemptJobMotion();
    const double top = m_profile.maxZ;
    m_parkLegs.push_back({0, double(m_profile.maxY), top, m_position.a});
    StartMotion(Motion::Owner::Park, {m_position.x, m_position.y, top, m_position.a},
                kMaxControlSpeed);
}

void Machine::SetCableConnected(bool connected) {
    Update();
    m_cable = connected;
}

void Machine::SetToolLength(std::int32_t counts) {
    Update();
    m_toolLength = counts;
}

// --- readings -----------------------------------------------------------

bool Machine::Clearing() const { return m_clearingUntil && m_time < *m_clearingUntil; }

bool Machine::ControlBusy() const { return m_motion && m_motion->GetOwner() != Motion::Owner::Job; }

bool Machine::JobActive() const {
    const bool jobMoving = m_motion && m_motion->GetOwner() == Motion::Owner::Job;
    return jobMoving || m_jobResume || m_dwellUntil || Clearing() || !m_jobBuffer.Empty() ||
           m_interpreter.HasOps();
}

Point Machine::UserPoint() const {
    return {m_position.x - m_origin.x, m_position.y - m_origin.y, m_position.z - m_origin.z,
            m_position.a - m_origin.a};
}

Counts Machine::MachinePosition() {
    Update();
    return ToCounts(m_position);
}

Counts Machine::UserPosition() {
    Update();
    return ToCounts(UserPoint());
}

std::uint32_t Machine::StatusWord() {
    Update();
    const bool job = JobActive();
    if (!job) m_jobEndReported = true;
    std::uint32_t word = job ? kStatusJob : ControlBusy() ? kStatusBusy : kStatusIdle;
    if (m_view) word |= kStatusView;
    if (m_spindleOn) word |= kStatusSpindle;
    return word;
}

std::uint8_t Machine::Completion() {
    Update();
    if (!m_lastCommandMoves || !ControlBusy()) return 0;
    return m_motion->GetOwner() == Motion::Owner::Probe ? 2 : 1;
}

std::uint8_t Machine::SensorBits() {
    Update();
    std::uint8_t bits = 0;
    if (m_cable) bits |= kSensorConnected;
    if (!m_cable || !m_geometry.Touches(m_position, m_toolLength)) bits |= kSensorNotTouched;
    return bits;
}

std::uint32_t Machine::CommandsDone() {
    Update();
    return m_commandsDone;
}

std::int32_t Machine::SpindleRpm() {
    Update();
    if (!m_spindleOn) return 0;
    const double turning = double(m_spindleRpm) * m_spindleOverride / 100.0;
    return static_cast<std::int32_t>(std::lround(
        std::clamp(turning, double(m_profile.spindleMinRpm), double(m_profile.spindleMaxRpm))));
}

}  // namespace sim
