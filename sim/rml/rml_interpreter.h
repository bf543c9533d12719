#pragma once
// Meaning of the RML-1 commands: coordinate modes, tool heights, speeds and the
// moves they make, turned into JobOps in user coordinates.
#include <array>
#include <deque>
#include <optional>

#include "rml/job_op.h"
#include "rml/rml_listener.h"

namespace sim {

// What the interpreter needs to know about the machine it drives.
class JobContext {
public:
    virtual ~JobContext() = default;
    virtual double UserTopZ() const = 0;  // the top of Z travel in user counts
};

// Power-on and DF values.
inline constexpr double kDefaultXySpeed = 10;  // mm/s
inline constexpr double kDefaultZSpeed = 5;    // mm/s
inline constexpr double kMinSpeed = 0.1;       // mm/s
inline constexpr double kMaxSpeed = 50;        // mm/s; the machine limits Z further
inline constexpr double kMaxDwellMs = 32767;
inline constexpr double kCoordinateLimit = 1e9;  // counts

class RmlInterpreter : public RmlListener {
public:
    explicit RmlInterpreter(const JobContext& context);

    // Where the tool is when a job starts, in user counts.
    void SetPosition(const Point& user) { m_position = user; }
    const Point& Position() const { return m_position; }
    // Forgets queued steps and a half-read command (memory cleared).
    void Abort();

    std::deque<JobOp>& Ops() { return m_ops; }
    bool HasOps() const { return !m_ops.empty(); }
    unsigned long Errors() const { return m_errors; }

    void OnCommand(Mnemonic mnemonic) override;
    void OnParameter(double value) override;
    void OnEnd(bool terminated) override;
    void OnError(RmlError) override { ++m_errors; }

private:
    // Speeds: VS/F for moves in X/Y, the last of V and !VZ for Z alone, and V for
    // 3-D moves (VS until a V has been given). Kept together so that no command
    // decides on its own which one governs it.
    struct Speeds {
        double xy = kDefaultXySpeed;
        double z = kDefaultZSpeed;
        std::optional<double> threeD;
        double ForXy() const { return xy; }
        double ForZ() const { return z; }
        double For3d() const { return threeD.value_or(xy); }
    };

    void Defaults();
    void MoveTo(const Point& target, double speed);
    void MoveZ(double z);
    void MoveXy(double x, double y, bool relative);
    void Home(double z);
    void CompleteGroup();
    std::size_t GroupSize() const;

    const JobContext& m_context;
    std::deque<JobOp> m_ops;
    Point m_position;
    bool m_absolute = true;
    double m_downZ = 0;
    double m_upZ = 0;
    Speeds m_speeds;
    std::optional<Mnemonic> m_command;
    std::array<double, 4> m_group{};
    std::size_t m_filled = 0;
    std::size_t m_parameters = 0;
    unsigned long m_errors = 0;
};

}  // namespace sim
