#pragma once
// One simulated machine: position and origin, moves and probes in machine
// time, spindle, overrides, parameter memory, sensor, View mode and the job
// data it executes. Not thread-safe: the host serialises access. Every call
// first brings the machine up to the clock's present.
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "machine/axes.h"
#include "machine/clock.h"
#include "machine/job_buffer.h"
#include "machine/motion.h"
#include "machine/parameter_memory.h"
#include "machine/probe_geometry.h"
#include "machine/profile.h"
#include "rml/rml_interpreter.h"
#include "rml/rml_parser.h"

namespace sim {

// Status word: the low bits say what the machine does; bit 7 is View mode.
// Bit 5 (spindle turning) lies outside what the program looks at.
inline constexpr std::uint32_t kStatusBusy = 1;
inline constexpr std::uint32_t kStatusIdle = 2;
inline constexpr std::uint32_t kStatusJob = 3;
inline constexpr std::uint32_t kStatusSpindle = 0x20;
inline constexpr std::uint32_t kStatusView = 0x80;

// Output bits of the stop sequence: a pulse of 64 halts, a pulse of 32 clears
// the job memory, which takes kClearingPeriod of machine time.
inline constexpr std::uint8_t kHaltBit = 64;
inline constexpr std::uint8_t kClearBit = 32;
inline constexpr Nanos kClearingPeriod = std::chrono::seconds(3);

// Sensor bits: bit 0 set = cable connected, bit 1 clear = touched.
inline constexpr std::uint8_t kSensorConnected = 1;
inline constexpr std::uint8_t kSensorNotTouched = 2;

// Power-on state: X 0, Y 0, A 0 with Z at the top of its travel, no origin
// offset, spindle off at its lowest speed, overrides 100 %, sensor cable in.
inline constexpr std::uint32_t kDefaultOverride = 100;
inline constexpr std::uint32_t kMaxOverride = 200;
// View mode parks the table for a tool change: Z to the top, then X 0 and Y
// at the front of the travel.

class Machine : private JobContext {
public:
    Machine(const MachineProfile& profile, const Clock& clock);

    const MachineProfile& Profile() const { return m_profile; }
    const ProbeGeometry& Geometry() const { return m_geometry; }

    // Control commands.
    void MoveTo(const Counts& target, double mmPerMin);
    void ProbeTo(std::int32_t x, std::int32_t y, std::int32_t z, double mmPerMin);
    void SetOrigin(unsigned axisMask, const Counts& origin);  // bit 0 X .. bit 3 A
    void SetSpindle(std::uint32_t rpm);                       // 0 = off
    void SetFeedOverride(std::uint32_t percent);
    void SetSpindleOverride(std::uint32_t percent);
    void SetOutputBits(bool raise, std::uint8_t mask);
    bool ReadBlock(std::uint16_t block, std::span<std::uint8_t> out);
    bool WriteBlock(std::uint16_t block, std::span<const std::uint8_t> data);

    // Readings.
    Counts MachinePosition();
    Counts UserPosition();
    Counts Origin() const { return m_origin; }
    std::uint32_t StatusWord();
    // Completion of the last control command: 0 done, 1 moving, 2 probing.
    // Only a move or probe takes time; any other command is done at once, even
    // while an earlier move still runs (the stop pulses during a move).
    std::uint8_t Completion();
    std::uint8_t SensorBits();
    std::uint32_t CommandsDone();
    std::int32_t SpindleRpm();  // as the spindle turns: commanded speed × override
    std::uint32_t FeedOverride() const { return m_feedOverride; }
    std::uint32_t SpindleOverride() const { return m_spindleOverride; }

    // Job data, a stream as the machine's port delivers it: data that arrives
    // after the machine has reported its last job done (a status read with
    // no job running) starts a new job, commands done back to 0; data that
    // follows on a job continues it, as the pieces of a file and the files of
    // one run do, even where the machine ran out of data between them.
    void ReceiveJobData(std::span<const std::uint8_t> bytes);
    std::size_t JobBytesQueued();

    // The operator's panel and the workshop.
    void SetViewMode(bool on);
    bool ViewMode() const { return m_view; }
    void SetCableConnected(bool connected);
    bool CableConnected() const { return m_cable; }
    void SetToolLength(std::int32_t counts);
    std::int32_t ToolLength() const { return m_toolLength; }

    // The targets (machine counts) of the current job's first moves, in the
    // order the machine set out for them: where the job really cut.
    const std::vector<Counts>& JobMoves() const { return m_jobMoves; }
    static constexpr std::size_t kJobMovesKept = 10000;

    // Job moves that had to be clipped to the travel, and syntax errors seen.
    unsigned long TravelClamps() const { return m_travelClamps; }
    unsigned long JobErrors() const { return m_interpreter.Errors(); }

    // Brings the machine to the clock's present (every call above does this).
    void Update();

private:
    double UserTopZ() const override;
    void AdvanceTo(Nanos now);
    bool StepJob();
    void Execute(const JobOp& op);
    void StartMotion(Motion::Owner owner, const Point& target, double mmPerMin);
    void FinishMotion();
    void PreemptJobMotion();
    void Halt();
    void ClearMemory();
    bool Clearing() const;
    bool ControlBusy() const;
    bool JobActive() const;
    Point ClampToTravel(const Point& target, bool* clamped = nullptr) const;
    Point UserPoint() const;

    const MachineProfile& m_profile;
    const Clock& m_clock;
    ProbeGeometry m_geometry;
    ParameterMemory m_parameters;
    Nanos m_time{0};

    Point m_position;
    Counts m_origin;
    std::optional<Motion> m_motion;
    std::deque<Point> m_parkLegs;  // further legs of the View-mode park move
    struct Resume {
        Point target;
        double mmPerMin;
    };
    std::optional<Resume> m_jobResume;  // a job move interrupted by a control command
    std::optional<Nanos> m_dwellUntil;
    std::optional<Nanos> m_clearingUntil;
    bool m_halted = false;
    bool m_jobEndReported = true;     // a status read has seen no job running since the last data
    bool m_lastCommandMoves = false;  // the last control command was a move or probe

    JobBuffer m_jobBuffer;
    RmlInterpreter m_interpreter;
    RmlParser m_parser;
    std::uint32_t m_commandsDone = 0;
    std::vector<Counts> m_jobMoves;
    unsigned long m_travelClamps = 0;

    bool m_spindleOn = false;
    std::uint32_t m_spindleRpm;
    std::uint32_t m_feedOverride = kDefaultOverride;
    std::uint32_t m_spindleOverride = kDefaultOverride;
    std::uint8_t m_outputBits = 0;
    bool m_view = false;
    bool m_cable = true;
    std::int32_t m_toolLength = kDefaultToolLength;
};

}  // namespace sim
