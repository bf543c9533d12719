#include "jobs/toolpath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "jobs/rml_reader.h"

namespace jobs {

namespace {

// The machine's values at power-on and after DF.
constexpr double kDefaultXySpeed = 10;  // mm/s
constexpr double kDefaultZSpeed = 5;    // mm/s
constexpr double kMinSpeed = 0.1;       // mm/s
constexpr double kMaxSpeed = 50;        // mm/s
constexpr double kMaxDwellMs = 32767;
constexpr double kCoordinateLimit = 1e9;  // counts
constexpr std::size_t kReadSize = 1 << 20;

double Coordinate(double counts) { return std::clamp(counts, -kCoordinateLimit, kCoordinateLimit); }

// Minutes a straight move takes: all axes arrive together, none faster than it may.
double MoveMinutes(double dx, double dy, double dz, double da, double mmPerMin,
                   const MachineLimits& limits) {
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    return std::max({length / mmPerMin, std::abs(dz) / limits.zMmPerMin,
                     std::abs(da) / std::min(mmPerMin, limits.aDegPerMin)});
}

template <typename List>
auto LastFrom(const List& changes, std::size_t index) {
    // The entry in force at `index`: the last whose start is not after it.
    auto it = std::upper_bound(changes.begin(), changes.end(), index,
                               [](std::size_t i, const auto& c) { return i < c.from; });
    return std::prev(it);
}

}  // namespace

// The job language's meaning, as the machine gives it: coordinate mode, tool
// heights, speeds, and the moves that come of them.
class ToolpathBuilder final : public RmlListener {
public:
    ToolpathBuilder(Toolpath& path, const MachineLimits& limits) : m_path(path) {
        m_path.m_limits = limits;
        m_topZ = limits.topZ / kMmPerCount;
    }

    void OnCommand(Command command) override {
        m_command = command;
        m_filled = 0;
        m_parameters = 0;
        switch (command) {
            case Command::PA:
                m_absolute = true;
                break;
            case Command::PR:
                m_absolute = false;
                break;
            case Command::PU:
            case Command::M:
            case Command::I:
                m_down = false;
                MoveZ(m_upZ);
                break;
            case Command::PD:
            case Command::D:
            case Command::R:
                m_down = true;
                MoveZ(m_downZ);
                break;
            case Command::H:
                Home(m_topZ);
                break;
            case Command::DF:
                Defaults();
                break;
            case Command::IN:
                Defaults();
                Home(m_upZ);
                break;
            default:
                break;
        }
    }

    void OnParameter(double value) override {
        if (!m_command) return;
        const std::size_t index = m_parameters++;
        switch (*m_command) {
            case Command::VS:
            case Command::F:
                if (index == 0) m_xySpeed = Speed(value);
                return;
            case Command::V:
                if (index == 0) m_threeDSpeed = m_zSpeed = Speed(value);
                return;
            case Command::VZ:
                if (index == 0) m_zSpeed = Speed(value);
                return;
            case Command::PZ:
            case Command::At:
                if (index == 0) m_downZ = Coordinate(value);
                if (index == 1) m_upZ = Coordinate(value);
                return;
            case Command::W:
            case Command::DW:
                if (index == 0) Dwell(std::clamp(value, 0.0, kMaxDwellMs) / 1000);
                return;
            case Command::MC:
            case Command::RC:
            case Command::NR:
            case Command::ZO:
                return;
            default:
                break;
        }
        m_group[m_filled++] = value;
        if (m_filled == GroupSize()) {
            CompleteGroup();
            m_filled = 0;
        }
    }

    void OnEnd(bool semicolon) override {
        m_command.reset();
        if (semicolon) ++m_path.m_commands;
    }

    void Finish() { m_path.m_blocks.shrink_to_fit(); }

private:
    struct Counts {
        double x = 0, y = 0, z = 0, a = 0;
    };

    static double Speed(double mmPerSecond) {
        return std::clamp(mmPerSecond, kMinSpeed, kMaxSpeed);
    }

    void Defaults() {
        m_absolute = true;
        m_downZ = m_upZ = 0;
        m_xySpeed = kDefaultXySpeed;
        m_zSpeed = kDefaultZSpeed;
        m_threeDSpeed.reset();
    }

    void Home(double z) {
        m_down = false;
        MoveZ(z);
        Counts target = m_at;
        target.x = target.y = 0;
        Move(target, m_xySpeed, MoveKind::Rapid);
    }

    void MoveZ(double z) {
        Counts target = m_at;
        target.z = Coordinate(z);
        Move(target, m_zSpeed, MoveKind::ZOnly);
    }

    std::size_t GroupSize() const {
        switch (*m_command) {
            case Command::Z:
            case Command::ZZ:
                return 3;
            case Command::ZE:
                return 4;
            case Command::ZM:
                return 1;
            default:
                return 2;
        }
    }

    void CompleteGroup() {
        const auto& g = m_group;
        Counts target = m_at;
        switch (*m_command) {
            case Command::PA:
            case Command::PR:
            case Command::PU:
            case Command::PD:
            case Command::D:
            case Command::M:
            case Command::R:
            case Command::I: {
                const bool relative =
                    *m_command == Command::R || *m_command == Command::I ||
                    (!m_absolute && *m_command != Command::D && *m_command != Command::M);
                target.x = Coordinate(relative ? m_at.x + g[0] : g[0]);
                target.y = Coordinate(relative ? m_at.y + g[1] : g[1]);
                Move(target, m_xySpeed, m_down ? MoveKind::Cut : MoveKind::Rapid);
                break;
            }
            case Command::ZM:
                target.z = Coordinate(m_absolute ? g[0] : m_at.z + g[0]);
                Move(target, m_zSpeed, MoveKind::ZOnly);
                break;
            case Command::Z:
            case Command::ZZ:
            case Command::ZE: {
                const bool relative = !m_absolute || *m_command == Command::ZE;
                target.x = Coordinate(relative ? m_at.x + g[0] : g[0]);
                target.y = Coordinate(relative ? m_at.y + g[1] : g[1]);
                target.z = Coordinate(relative ? m_at.z + g[2] : g[2]);
                if (*m_command == Command::ZE) target.a = Coordinate(m_at.a + g[3] * 100);
                Move3d(target);
                break;
            }
            default:
                break;  // parameters without a meaning
        }
    }

    void Move3d(const Counts& target) {
        MoveKind kind = MoveKind::Cut;
        if (target.a != m_at.a) {
            kind = MoveKind::Turn;
        } else if (target.x == m_at.x && target.y == m_at.y) {
            kind = MoveKind::ZOnly;
        } else if (m_upZ > m_downZ && m_at.z >= m_upZ && target.z >= m_upZ) {
            kind = MoveKind::Rapid;  // above the work, at the up height or higher
        }
        Move(target, m_threeDSpeed.value_or(m_xySpeed), kind);
    }

    void Dwell(double seconds) {
        m_path.m_dwell.push_back(
            {std::uint32_t(m_path.MoveCount()), m_path.m_commands + 1, float(seconds)});
        m_path.m_seconds += seconds;
        m_dwellHere += seconds;
    }

    // Where the machine goes for a target: no further than its travel.
    Counts OnTravel(const Counts& c) const {
        const MachineLimits& l = m_path.m_limits;
        auto clamp = [](double v, float low, float high) {
            return std::clamp(v, double(low) / kMmPerCount, double(high) / kMmPerCount);
        };
        return {clamp(c.x, l.travelLow.x, l.travelHigh.x),
                clamp(c.y, l.travelLow.y, l.travelHigh.y),
                clamp(c.z, l.travelLow.z, l.travelHigh.z), c.a};
    }

    void Move(const Counts& target, double mmPerSecond, MoveKind kind) {
        // Relative moves go on from the target; the tool from where it stopped.
        m_at = target;
        const Counts to = OnTravel(target);
        const double dx = (to.x - m_tool.x) * kMmPerCount, dy = (to.y - m_tool.y) * kMmPerCount,
                     dz = (to.z - m_tool.z) * kMmPerCount, da = (to.a - m_tool.a) * kMmPerCount;
        if (dx == 0 && dy == 0 && dz == 0 && da == 0) return;  // nothing moves, no time
        Toolpath& p = m_path;
        const std::size_t move = p.MoveCount();
        if (move % Toolpath::kBlock == 0)
            p.m_blocks.push_back({m_kept, m_lastCommand, p.m_seconds - m_dwellHere});
        m_dwellHere = 0;
        const float speed = float(std::clamp(mmPerSecond * 60, 1.0, p.m_limits.xyMmPerMin));
        if (p.m_speed.empty() || p.m_speed.back().value != speed)
            p.m_speed.push_back({std::uint32_t(move), speed});
        p.m_seconds += 60 * MoveMinutes(dx, dy, dz, da, speed, p.m_limits);
        if (to.a != m_tool.a) p.m_a.push_back({std::uint32_t(move + 1), float(to.a * kMmPerCount)});
        Keep(move, to, kind);
        m_tool = to;
        const PathPoint end{float(to.x * kMmPerCount), float(to.y * kMmPerCount),
                            float(to.z * kMmPerCount), float(to.a * kMmPerCount)};
        PathPoint& low = p.m_low;
        PathPoint& high = p.m_high;
        low = {std::min(low.x, end.x), std::min(low.y, end.y), std::min(low.z, end.z),
               std::min(low.a, end.a)};
        high = {std::max(high.x, end.x), std::max(high.y, end.y), std::max(high.z, end.z),
                std::max(high.a, end.a)};
    }

    // The move as the path keeps it: in whole counts, against the move before.
    void Keep(std::size_t move, const Counts& to, MoveKind kind) {
        Toolpath& p = m_path;
        const Toolpath::Counts3 end{std::int32_t(std::lround(to.x)),
                                    std::int32_t(std::lround(to.y)),
                                    std::int32_t(std::lround(to.z))};
        const std::int64_t d[3] = {std::int64_t(end.x) - m_kept.x, std::int64_t(end.y) - m_kept.y,
                                   std::int64_t(end.z) - m_kept.z};
        Toolpath::Step step{};
        step.kind = kind;
        if (std::all_of(d, d + 3, [](std::int64_t v) { return v > INT16_MIN && v <= INT16_MAX; })) {
            step.dx = std::int16_t(d[0]);
            step.dy = std::int16_t(d[1]);
            step.dz = std::int16_t(d[2]);
        } else {
            step.dx = Toolpath::kFar;
            p.m_far.push_back({std::uint32_t(move), end});
        }
        const std::uint32_t command = p.m_commands + 1;
        if (command - m_lastCommand < Toolpath::kManyCommands) {
            step.commands = std::uint16_t(command - m_lastCommand);
        } else {
            step.commands = Toolpath::kManyCommands;
            p.m_manyCommands.push_back({std::uint32_t(move), command});
        }
        p.m_steps.push_back(step);
        m_kept = end;
        m_lastCommand = command;
    }

    Toolpath& m_path;
    Toolpath::Counts3 m_kept{0, 0, 0};
    std::uint32_t m_lastCommand = 0;
    double m_topZ = 0;
    Counts m_at;    // where the commands have put the tool
    Counts m_tool;  // where it is: m_at within the travel
    bool m_absolute = true;
    bool m_down = false;
    double m_downZ = 0, m_upZ = 0;
    double m_xySpeed = kDefaultXySpeed, m_zSpeed = kDefaultZSpeed;
    std::optional<double> m_threeDSpeed;  // V; until one is given, 3-D moves go at VS
    double m_dwellHere = 0;               // dwell since the last move
    std::optional<Command> m_command;
    std::array<double, 4> m_group{};
    std::size_t m_filled = 0, m_parameters = 0;
};

Toolpath::Cursor Toolpath::Seek(std::size_t move) const {
    if (m_blocks.empty()) return {0, {0, 0, 0}, 0, m_a.front().value};
    const std::size_t block = std::min(move / kBlock, m_blocks.size() - 1);
    const Block& b = m_blocks[block];
    Cursor c{block * kBlock, b.start, b.commandBefore, LastFrom(m_a, block * kBlock)->value};
    while (c.move < move) Advance(c);
    return c;
}

void Toolpath::Advance(Cursor& c) const {
    const Step& step = m_steps[c.move];
    if (step.dx == kFar) {
        c.at = LastFrom(m_far, c.move)->value;
    } else {
        c.at.x += step.dx;
        c.at.y += step.dy;
        c.at.z += step.dz;
    }
    c.command = step.commands == kManyCommands ? LastFrom(m_manyCommands, c.move)->value
                                               : c.command + step.commands;
    ++c.move;
    if (m_a.size() > 1) c.a = LastFrom(m_a, c.move)->value;
}

std::uint32_t Toolpath::CommandIndex(std::size_t move) const {
    Cursor c = Seek(move);
    Advance(c);
    return c.command;
}

std::size_t Toolpath::MovesDone(std::uint32_t commandsDone) const {
    // The first block whose move before it is not done yet: the last done move is before it.
    const auto after =
        std::upper_bound(m_blocks.begin(), m_blocks.end(), commandsDone,
                         [](std::uint32_t done, const Block& b) { return done < b.commandBefore; });
    const std::size_t block = after == m_blocks.begin() ? 0 : (after - m_blocks.begin()) - 1;
    Cursor c = Seek(block * kBlock);
    const std::size_t end = std::min(MoveCount(), (block + 1) * kBlock);
    while (c.move < end) {
        Cursor next = c;
        Advance(next);
        if (next.command > commandsDone) break;
        c = next;
    }
    return c.move;
}

float Toolpath::SpeedOf(std::size_t move) const { return LastFrom(m_speed, move)->value; }

double Toolpath::MoveSeconds(std::size_t move, const PathPoint& from, const PathPoint& to) const {
    return 60 * MoveMinutes(to.x - from.x, to.y - from.y, to.z - from.z, to.a - from.a,
                            SpeedOf(move), m_limits);
}

double Toolpath::SecondsDone(std::size_t move, std::uint32_t commandsDone) const {
    // Each block's time counts the dwells before its first move, not those right at it.
    const std::size_t block = m_blocks.empty() ? 0 : std::min(move / kBlock, m_blocks.size() - 1);
    double seconds = m_blocks.empty() ? 0 : m_blocks[block].seconds;
    std::size_t m = block * kBlock;
    ForEachMove(m, move, [&](const PathPoint& from, const PathPoint& to, MoveKind) {
        seconds += MoveSeconds(m++, from, to);
    });
    auto dwell = std::lower_bound(m_dwell.begin(), m_dwell.end(), block * kBlock,
                                  [](const Dwell& d, std::size_t i) { return d.before < i; });
    for (; dwell != m_dwell.end() && dwell->command <= commandsDone; ++dwell)
        seconds += dwell->seconds;
    return seconds;
}

double Toolpath::SecondsLeft(std::uint32_t commandsDone) const {
    if (commandsDone >= m_commands) return 0;
    return std::max(0.0, m_seconds - SecondsDone(MovesDone(commandsDone), commandsDone));
}

namespace {

// Builds the path of what `feed` hands the reader; nothing when `feed` says no.
std::optional<Toolpath> Build(const MachineLimits& limits,
                              const std::function<bool(RmlReader&)>& feed) {
    Toolpath toolpath;
    ToolpathBuilder builder(toolpath, limits);
    RmlReader reader(builder);
    if (!feed(reader)) return std::nullopt;
    reader.Finish();
    builder.Finish();
    return toolpath;
}

}  // namespace

Toolpath ToolpathOf(std::string_view text, const MachineLimits& limits) {
    return *Build(limits, [&](RmlReader& reader) {
        reader.Feed(text.data(), text.size());
        return true;
    });
}

std::optional<Toolpath> ReadToolpath(const std::string& path, const MachineLimits& limits,
                                     const std::atomic<bool>* cancel) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) return std::nullopt;
    return Build(limits, [&](RmlReader& reader) {
        const auto buffer = std::make_unique_for_overwrite<char[]>(kReadSize);
        while (const std::size_t got = std::fread(buffer.get(), 1, kReadSize, file.get())) {
            if (cancel && cancel->load(std::memory_order_relaxed)) return false;
            reader.Feed(buffer.get(), got);
        }
        return !std::ferror(file.get());
    });
}

}  // namespace jobs
