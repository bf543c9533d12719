// The toolpath of job text: moves, their kinds and commands, and machine time.
#include "jobs/toolpath.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/path_vertices.h"
#include "jobs/rml_reader.h"

namespace {

using namespace std::string_literals;
using jobs::MoveKind;
using jobs::PathPoint;
using jobs::ToolpathOf;

struct Expected {
    PathPoint end;
    MoveKind kind;
    std::uint32_t command;
};

std::vector<Expected> Moves(const jobs::Toolpath& path) {
    std::vector<Expected> moves;
    for (std::size_t i = 0; i < path.MoveCount(); ++i)
        moves.push_back({path.End(i), path.Kind(i), path.CommandIndex(i)});
    return moves;
}

bool operator==(const Expected& a, const Expected& b) {
    return a.end == b.end && a.kind == b.kind && a.command == b.command;
}

void PrintTo(const Expected& e, std::ostream* os) {
    *os << "(" << e.end.x << "," << e.end.y << "," << e.end.z << "," << e.end.a << ") kind "
        << int(e.kind) << " command " << e.command;
}

const jobs::MachineLimits kLimits{3000, 1800, 3600, 40};

constexpr const char* kJob =
    "IN;!PZ-100,500;VS20;PU1000,2000;PD1000,3000,2000,3000;PR;PD500,0;PA;"
    "Z0,0,-200;!ZM300;H;!ZE0,0,0,90;";

TEST(Toolpath, EveryMoveOfAJobWithItsKindAndCommand) {
    const auto path = ToolpathOf(kJob, kLimits);
    const std::vector<Expected> expected = {
        {{0, 0, 5, 0}, MoveKind::ZOnly, 4},     // PU: up height first
        {{10, 20, 5, 0}, MoveKind::Rapid, 4},   // then the pair, tool up
        {{10, 20, -1, 0}, MoveKind::ZOnly, 5},  // PD: down height
        {{10, 30, -1, 0}, MoveKind::Cut, 5},    // both pairs cut
        {{20, 30, -1, 0}, MoveKind::Cut, 5},    //
        {{25, 30, -1, 0}, MoveKind::Cut, 7},    // relative after PR; PD at the height already
        {{0, 0, -2, 0}, MoveKind::Cut, 9},      // 3-D, absolute again
        {{0, 0, 3, 0}, MoveKind::ZOnly, 10},    // !ZM
        {{0, 0, 40, 0}, MoveKind::ZOnly, 11},   // H: top of Z, then home
        {{0, 0, 40, 90}, MoveKind::Turn, 12},   // !ZE turns A in degrees
    };
    EXPECT_EQ(Moves(path), expected);
    EXPECT_EQ(path.CommandCount(), 12u);
    EXPECT_EQ(path.Low(), (PathPoint{0, 0, -2, 0}));
    EXPECT_EQ(path.High(), (PathPoint{25, 30, 40, 90}));
}

TEST(Toolpath, GarbageAndPiecesChangeNeitherMovesNorCommandIndices) {
    const auto whole = ToolpathOf(kJob, kLimits);
    // Line ends, zero bytes and blanks wherever the machine allows them; lower case.
    const std::string spaced =
        "IN;\r\n!pz -100 ,500;\0vs 20;\r\nP U1000, 2000;\tPD1000,3000 ,2000,3000;\0pr;"
        "PD500,0;PA;Z0,0,-200;\n!ZM300;H;!ZE0,0,0,90;"s;
    EXPECT_EQ(Moves(ToolpathOf(spaced, kLimits)), Moves(whole));
    // Unknown commands, numbers where a command belongs and bytes above 0x7F are
    // dropped, and their ';' still count.
    const auto withJunk = ToolpathOf("QQ1;" + std::string(kJob) + "12,3;\x90PU5,5;", kLimits);
    const auto moves = Moves(withJunk);
    ASSERT_EQ(moves.size(), whole.MoveCount());
    for (std::size_t i = 0; i < moves.size(); ++i)
        EXPECT_EQ(moves[i].command, whole.CommandIndex(i) + 1);
    EXPECT_EQ(withJunk.CommandCount(), 15u);
    // The machine's own examples of parameters that read alike.
    for (auto [a, b] : {std::pair{"PA100,,100;PU;", "PA100,;,100;PU;"},
                        {"PU100,200++100;", "PU100,200;++100;"},
                        {"PU . 100,100;", "PU0;100,100;"},
                        {"PD\t100,1;", "PD100,1;"}}) {
        SCOPED_TRACE(a);
        EXPECT_EQ(Moves(ToolpathOf(a, kLimits)), Moves(ToolpathOf(b, kLimits)));
    }
}

TEST(Toolpath, MachineTimeOfEachKindOfMove) {
    const struct {
        const char* job;
        double seconds;
    } cases[] = {
        {"VS10;PU3000,4000;", 5.0},        // 50 mm at 600 mm/min
        {"VS100;PU3000,4000;", 1.0},       // speeds end at 50 mm/s
        {"!VZ50;!ZM6000;", 2.0},           // Z no faster than 1800 mm/min
        {"V2;Z0,0,-1000;", 5.0},           // 3-D at V
        {"!ZE0,0,0,90;", 9.0},             // A at the 3-D speed (VS until V)
        {"W1500;!DW500;W99999;", 34.767},  // dwells, the longest 32767 ms
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.job);
        EXPECT_NEAR(ToolpathOf(c.job, kLimits).Seconds(), c.seconds, 1e-3);
    }
}

TEST(Toolpath, TimeLeftFollowsTheCommandsDoneAcrossBlocks) {
    std::string job = "VS10;W2000;";
    for (int i = 0; i < 600; ++i) job += i % 2 ? "PU0,0;" : "PU1000,0;";  // 1 s each
    const auto path = ToolpathOf(job, kLimits);
    EXPECT_NEAR(path.Seconds(), 602, 1e-3);
    EXPECT_NEAR(path.SecondsLeft(0), 602, 1e-3);
    EXPECT_NEAR(path.SecondsLeft(2), 600, 1e-3);  // the dwell is done
    EXPECT_NEAR(path.SecondsLeft(2 + 300), 300, 1e-3);
    EXPECT_NEAR(path.SecondsLeft(2 + 599), 1, 1e-3);
    EXPECT_EQ(path.SecondsLeft(602), 0);
    EXPECT_EQ(path.MovesDone(2 + 300), 300u);
}

TEST(PathVertices, ThinnedWithinTheBoundEndingWhereThePathEnds) {
    // A plunge, a cut, a lift and a rapid at every step: a new kind at every move.
    std::string job = "!PZ-100,100;";
    for (int i = 0; i < 20000; ++i)
        job += "PD" + std::to_string(i % 997) + "," + std::to_string(i % 13) + ";PU0,0;";
    const auto path = ToolpathOf(job, kLimits);
    for (std::size_t bound : {std::size_t(100), std::size_t(5000), std::size_t(1'000'000)}) {
        SCOPED_TRACE(bound);
        const jobs::PathVertices v = jobs::ThinForScreen(path, bound);
        EXPECT_LE(v.Count(), bound);
        EXPECT_GE(v.Count(), 2u);
        const std::size_t last = v.Count() - 1;
        EXPECT_EQ((PathPoint{v.xyz[last * 3], v.xyz[last * 3 + 1], v.xyz[last * 3 + 2], 0}),
                  path.End(path.MoveCount() - 1));
        EXPECT_EQ(v.VerticesDone(0), 0u);
        EXPECT_EQ(v.VerticesDone(path.MoveCount()), v.Count());
    }
    // With room enough, the corners stay.
    EXPECT_GT(jobs::ThinForScreen(path, 1'000'000).Count(), path.MoveCount() * 99 / 100);
}

// The reader alone: what it reports does not depend on how the bytes arrive.
class Recorder : public jobs::RmlListener {
public:
    void OnCommand(jobs::Command c) override { events += "C" + std::to_string(int(c)) + " "; }
    void OnParameter(double v) override { events += std::to_string(v) + " "; }
    void OnEnd(bool semicolon) override { events += semicolon ? "; " : "| "; }
    std::string events;
};

TEST(RmlReader, ReportsTheSameWhateverPiecesTheBytesComeIn) {
    const std::string job = std::string(kJob) + "pd 1.5,-2.25;^IN;PA12.7,3x;Q;\xff;VS 1";
    Recorder whole, bytewise;
    jobs::RmlReader all(whole), one(bytewise);
    all.Feed(job.data(), job.size());
    all.Finish();
    for (char c : job) one.Feed(&c, 1);
    one.Finish();
    EXPECT_EQ(bytewise.events, whole.events);
    EXPECT_NE(whole.events.find("1.500000 -2.250000 ; "), std::string::npos);
    EXPECT_NE(whole.events.find("12.700000 3.000000 | ; ; "), std::string::npos);
    EXPECT_EQ(whole.events.substr(whole.events.size() - 11), "1.000000 | ");  // ended by the file
}

}  // namespace
