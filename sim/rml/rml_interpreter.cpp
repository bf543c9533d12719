#include "rml/rml_interpreter.h"

#include <algorithm>

namespace sim {

namespace {

double Coordinate(double v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }
double Speed(double v) { return std::clamp(v, kMinSpeed, kMaxSpeed); }

}  // namespace

RmlInterpreter::RmlInterpreter(const JobContext& context) : m_context(context) {}

void RmlInterpreter::Defaults() {
    m_absolute = true;
    m_downZ = 0;
    m_upZ = 0;
    m_speeds = Speeds{};
    m_ops.push_back({JobOp::Kind::SpindleOn, {}, 0});
}

void RmlInterpreter::Abort() {
    m_ops.clear();
    m_command.reset();
    m_filled = 0;
}

void RmlInterpreter::MoveTo(const Point& target, double speed) {
    m_position = target;
    m_ops.push_back({JobOp::Kind::Move, target, speed});
}

void RmlInterpreter::MoveZ(double z) {
    Point target = m_position;
    target.z = Coordinate(z);
    MoveTo(target, m_speeds.ForZ());
}

void RmlInterpreter::MoveXy(double x, double y, bool relative) {
    Point target = m_position;
    target.x = Coordinate(relative ? m_position.x + x : x);
    target.y = Coordinate(relative ? m_position.y + y : y);
    MoveTo(target, m_speeds.ForXy());
}

void RmlInterpreter::Home(double z) {
    MoveZ(z);
    MoveXy(0, 0, false);
    m_ops.push_back({JobOp::Kind::SpindleOn, {}, 0});
}

void RmlInterpreter::OnCommand(Mnemonic mnemonic) {
    m_command = mnemonic;
    m_filled = 0;
    m_parameters = 0;
    switch (mnemonic) {
        case Mnemonic::PA:
            m_absolute = true;
            break;
        case Mnemonic::PR:
            m_absolute = false;
            break;
        case Mnemonic::PU:
        case Mnemonic::M:
        case Mnemonic::I:
            MoveZ(m_upZ);
            break;
        case Mnemonic::PD:
        case Mnemonic::D:
        case Mnemonic::R:
            MoveZ(m_downZ);
            break;
        case Mnemonic::H:
            Home(m_context.UserTopZ());
            break;
        case Mnemonic::DF:
            Defaults();
            break;
        case Mnemonic::IN:
            Defaults();
            Home(m_upZ);
            break;
        default:
            break;
    }
}

std::size_t RmlInterpreter::GroupSize() const {
    switch (*m_command) {
        case Mnemonic::PA:
        case Mnemonic::PR:
        case Mnemonic::PU:
        case Mnemonic::PD:
        case Mnemonic::D:
        case Mnemonic::M:
        case Mnemonic::R:
        case Mnemonic::I:
            return 2;
        case Mnemonic::Z:
        case Mnemonic::ZZ:
            return 3;
        case Mnemonic::ZE:
            return 4;
        default:
            return 1;
    }
}

void RmlInterpreter::OnParameter(double value) {
    if (!m_command) return;
    const std::size_t index = m_parameters++;
    switch (*m_command) {
        case Mnemonic::VS:
        case Mnemonic::F:
            if (index == 0) m_speeds.xy = Speed(value);
            return;
        case Mnemonic::V:
            if (index == 0) m_speeds.threeD = m_speeds.z = Speed(value);
            return;
        case Mnemonic::VZ:
            if (index == 0) m_speeds.z = Speed(value);
            return;
        case Mnemonic::PZ:
        case Mnemonic::At:
            if (index == 0) m_downZ = Coordinate(value);
            if (index == 1) m_upZ = Coordinate(value);
            return;
        case Mnemonic::MC:
            if (index == 0) m_ops.push_back({JobOp::Kind::SpindleOn, {}, value});
            return;
        case Mnemonic::RC:
            if (index == 0) m_ops.push_back({JobOp::Kind::SpindleSpeed, {}, value});
            return;
        case Mnemonic::W:
        case Mnemonic::DW:
            if (index == 0) {
                m_ops.push_back({JobOp::Kind::Dwell, {}, std::clamp(value, 0.0, kMaxDwellMs)});
            }
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

void RmlInterpreter::CompleteGroup() {
    const auto& g = m_group;
    switch (*m_command) {
        case Mnemonic::PA:
        case Mnemonic::PR:
        case Mnemonic::PU:
        case Mnemonic::PD:
            MoveXy(g[0], g[1], !m_absolute);
            break;
        case Mnemonic::D:
        case Mnemonic::M:
            MoveXy(g[0], g[1], false);
            break;
        case Mnemonic::R:
        case Mnemonic::I:
            MoveXy(g[0], g[1], true);
            break;
        case Mnemonic::ZM: {
            Point target = m_position;
            target.z = Coordinate(m_absolute ? g[0] : m_position.z + g[0]);
            MoveTo(target, m_speeds.ForZ());
            break;
        }
        case Mnemonic::Z:
        case Mnemonic::ZZ: {
            const Point& p = m_position;
            const Point target{Coordinate(m_absolute ? g[0] : p.x + g[0]),
                               Coordinate(m_absolute ? g[1] : p.y + g[1]),
                               Coordinate(m_absolute ? g[2] : p.z + g[2]), p.a};
            MoveTo(target, m_speeds.For3d());
            break;
        }
        case Mnemonic::ZE: {
            const Point& p = m_position;
            const Point target{Coordinate(p.x + g[0]), Coordinate(p.y + g[1]),
                               Coordinate(p.z + g[2]), Coordinate(p.a + g[3] * 100)};
            MoveTo(target, m_speeds.For3d());
            break;
        }
        default:
            break;  // parameters without meaning are ignored
    }
}

void RmlInterpreter::OnEnd(bool terminated) {
    m_command.reset();
    m_filled = 0;
    if (terminated) m_ops.push_back({JobOp::Kind::CommandDone, {}, 0});
}

}  // namespace sim
