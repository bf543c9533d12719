#pragma once
// The toolpath of a job file: every move the machine will make for it, in the
// job's own coordinates, with the command whose end completes it and what it
// costs in machine time. Large files hold millions of moves, so the moves are
// kept in compact blocks and the times only per block, worked out again
// within a block when asked.
#include <atomic>
#include <climits>
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

inline constexpr double kMmPerCount = 0.01;  // the machine's count

class Toolpath {
public:
    std::size_t MoveCount() const { return m_steps.size(); }
    PathPoint Start(std::size_t move) const { return Seek(move).Point(); }
    PathPoint End(std::size_t move) const { return Seek(move + 1).Point(); }
    MoveKind Kind(std::size_t move) const { return m_steps[move].kind; }
    // The command (counting every ';' of the file from 1) whose end completes the move.
    std::uint32_t CommandIndex(std::size_t move) const;
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

    // Calls visit(start, end, kind) for the moves first..last-1, in order.
    template <typename Visit>
    void ForEachMove(std::size_t first, std::size_t last, Visit&& visit) const {
        Cursor c = Seek(first);
        for (; c.move < last;) {
            const PathPoint start = c.Point();
            const MoveKind kind = m_steps[c.move].kind;
            Advance(c);
            visit(start, c.Point(), kind);
        }
    }

private:
    friend class ToolpathBuilder;
    struct Counts3 {
        std::int32_t x, y, z;
    };
    // A move as kept: its end less its start in 0.01 mm and the commands since
    // the move before. What does not fit is kept aside (kFar, kManyCommands).
    struct Step {
        std::int16_t dx, dy, dz;
        std::uint16_t commands;
        MoveKind kind;
    };
    static constexpr std::int16_t kFar = INT16_MIN;
    static constexpr std::uint16_t kManyCommands = UINT16_MAX;
    static constexpr std::size_t kBlock = 256;
    // Where each run of kBlock moves starts.
    struct Block {
        Counts3 start;
        std::uint32_t commandBefore;  // the command of the move before the block
        double seconds;               // machine time before the block (dwells at it left out)
    };
    template <typename T>
    struct Aside {  // a value that holds from a move (or point) on
        std::uint32_t from;
        T value;
    };
    // Walking the moves: before `move`, the tool at `at`, after `command`.
    struct Cursor {
        std::size_t move;
        Counts3 at;
        std::uint32_t command;
        float a;
        PathPoint Point() const {
            constexpr float mm = float(kMmPerCount);
            return {at.x * mm, at.y * mm, at.z * mm, a};
        }
    };

    Cursor Seek(std::size_t move) const;
    void Advance(Cursor& c) const;
    float SpeedOf(std::size_t move) const;  // mm/min, as the machine limits it
    double MoveSeconds(std::size_t move, const PathPoint& from, const PathPoint& to) const;
    // Machine time of the moves before `move` and of the dwells done with `commandsDone`.
    double SecondsDone(std::size_t move, std::uint32_t commandsDone) const;

    MachineLimits m_limits;
    std::deque<Step> m_steps;
    std::vector<Block> m_blocks;
    std::vector<Aside<Counts3>> m_far;                 // ends of long moves, by move
    std::vector<Aside<std::uint32_t>> m_manyCommands;  // commands of moves far apart, by move
    std::vector<Aside<float>> m_a{{0, 0.0f}};          // A, by point
    std::vector<Aside<float>> m_speed;                 // by move
    struct Dwell {
        std::uint32_t before;   // the move it comes before (several may share one)
        std::uint32_t command;  // the command it belongs to
        float seconds;
    };
    std::vector<Dwell> m_dwell;
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
