#pragma once
// The toolpath of a job file: every move the machine will make for it, in the
// job's own coordinates, with the command whose end completes it and what it
// costs in machine time. Large files hold millions of moves, so the moves are
// kept in compact blocks and the times only per block, worked out again
// within a block when asked.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jobs {

enum class MoveKind : std::uint8_t {
    Rapid,  // X/Y with the tool up
    Cut,    // X/Y or 3-D with the tool down
    ZOnly,
    Turn,  // the A axis turns
};

// A place in job coordinates: X, Y, Z in mm, A in degrees.
struct PathPoint {
    float x = 0, y = 0, z = 0, a = 0;
    bool operator==(const PathPoint&) const = default;
};

// What the machine brings to a job's time and moves: its fastest speeds, and
// where "top of Z" and its travel are in job coordinates (`H` goes to the top;
// a move beyond the travel stops at its end).
struct MachineLimits {
    double xyMmPerMin = 3000;
    double zMmPerMin = 1800;
    double aDegPerMin = 3600;
    double topZ = 0;
    PathPoint travelLow{-1e7, -1e7, -1e7, 0};
    PathPoint travelHigh{1e7, 1e7, 1e7, 0};
};

class Toolpath {
public:
    std::size_t MoveCount() const { return m_kind.size(); }
    PathPoint Start(std::size_t move) const { return Point(move); }
    PathPoint End(std::size_t move) const { return Point(move + 1); }
    MoveKind Kind(std::size_t move) const { return m_kind[move]; }
    // The command (counting every ';' of the file from 1) whose end completes the move.
    std::uint32_t CommandIndex(std::size_t move) const { return m_command[move]; }
    // The file's ';': the commands the machine counts for it.
    std::uint32_t CommandCount() const { return m_commands; }
    // How many moves are complete once the machine has done `commandsDone` commands.
    std::size_t MovesDone(std::uint32_t commandsDone) const;

    // Machine time at 100 % feed: the whole job, and what is left after
    // `commandsDone` commands.
    double Seconds() const { return m_seconds; }
    double SecondsLeft(std::uint32_t commandsDone) const;

    // The box around every point of the path (the start included).
    PathPoint Low() const { return m_low; }
    PathPoint High() const { return m_high; }

private:
    friend class ToolpathBuilder;
    struct Xyz {
        float x, y, z;
    };
    struct Change {  // a value that holds from a point (or move) on
        std::uint32_t from;
        float value;
    };
    static constexpr std::size_t kBlock = 256;

    PathPoint Point(std::size_t index) const;
    float SpeedOf(std::size_t move) const;  // mm/min, as the machine limits it
    double MoveSeconds(std::size_t move) const;
    // Machine time of the moves before `move` and of the dwells done with `commandsDone`.
    double SecondsDone(std::size_t move, std::uint32_t commandsDone) const;

    MachineLimits m_limits;
    std::deque<Xyz> m_points{Xyz{0, 0, 0}};  // move i goes from point i to point i + 1
    std::deque<MoveKind> m_kind;
    std::deque<std::uint32_t> m_command;
    std::vector<Change> m_a{{0, 0.0f}};      // by point
    std::vector<Change> m_speed;             // by move
    struct Dwell {
        std::uint32_t before;   // the move it comes before (several may share one)
        std::uint32_t command;  // the command it belongs to
        float seconds;
    };
    std::vector<Dwell> m_dwell;
    std::vector<double> m_blockSeconds;      // machine time before each block of moves
    std::uint32_t m_commands = 0;
    double m_seconds = 0;
    PathPoint m_low, m_high;
};

// Reads a job file in one pass. Nothing when it cannot be read or `cancel`
// was set meanwhile.
std::optional<Toolpath> ReadToolpath(const std::string& path, const MachineLimits& limits,
                                     const std::atomic<bool>* cancel = nullptr);
// The same for job text in memory.
Toolpath ToolpathOf(std::string_view text, const MachineLimits& limits);

}  // namespace jobs
