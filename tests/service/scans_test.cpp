// The calibration scans: the values they measure on the simulated machine's
// sensor bar and tool sensor, their hand-over to the detection cycle, Stop,
// the Pause boxes and a failed origin read.
#include "service/scans.h"

#include <gmock/gmock.h>

#include <map>

#include "platform/profile_file.h"
#include "service/control_ids.h"
#include "service/motion_frames.h"
#include "service/requests.h"
#include "service/service_fixture.h"
#include "service/sim_fixture.h"

using ::testing::ElementsAre;

namespace {

// The simulated sensor bar (radius 10.00 mm) lies along X in the rotary axis:
// center at Z 6600 and Y = ROTAXISLOCY + 37 (15337), running 3 counts off the
// axis at 30 degrees, so at angle a its center is at
// Y 15337 + 3 cos(a + 30), Z 6600 + 3 sin(a + 30). A probe stops at the first
// whole count that touches; the tool's radius is 1.59 mm.

std::vector<std::string> CalibrationTexts(const RecordingDisplay& display,
                                          std::initializer_list<int> controlIds) {
    std::vector<std::string> texts;
    for (int id : controlIds) texts.push_back(display.Text(Window::Calibration, id));
    return texts;
}

// Right front, left front, right back, left back, nominal.
std::vector<std::string> YCenterTexts(const RecordingDisplay& display) {
    return CalibrationTexts(
        display, {IDC_RIGHT_FRONT, IDC_LEFT_FRONT, IDC_RIGHT_BACK, IDC_LEFT_BACK, IDC_NOMINAL});
}

TEST_F(SimServiceTest, RunoutShowsTheContactHeightAtFourAngles) {
    StartScan(kRunoutScan);
    // 17 steps and three more iterations for each of the four touches.
    EXPECT_EQ(IterateUntilIdle(), 17 + 4 * 3);
    // Bar top 7600 + 3 sin(a + 30): 7601.5, 7602.6, 7598.5, 7597.4.
    EXPECT_THAT(CalibrationTexts(display, {IDC_SCAN_0, IDC_SCAN_90, IDC_SCAN_180, IDC_SCAN_270}),
                ElementsAre("76.01", "76.02", "75.98", "75.97"));
    EXPECT_EQ(display.Text(Window::Calibration, IDC_SCAN_STATUS), Scans::kCompleteText);
    EXPECT_EQ(Position(),
              (MachinePosition{profile.rotAxisLocX, profile.rotAxisLocY, profile.zLimit, 0}));
}

TEST_F(SimServiceTest, YCenterSetsTheOriginYFromTheTwoEdgesAtTheRotaryAxis) {
    port.SetOrigin(100, 200, 300, 400);
    StartScan(kYCenterScan);
    ASSERT_NE(IterateUntilIdle(), -1);
    // At A 0 the center is at Y 15339.6: the front contact at 14181 gives
    // 15340, the back contact at 16498 gives 15339; the sum is odd and the
    // center rounds up.
    EXPECT_THAT(YCenterTexts(display),
                ElementsAre("153.40", "153.40", "153.39", "153.39", "153.40"));
    EXPECT_EQ(display.yCenter.load(), 15340);
    EXPECT_EQ(thread->FirstYEdge(), 15340);
    EXPECT_EQ(thread->SecondYEdge(), 15339);
    EXPECT_EQ(Origin(), (MachinePosition{100, 15340, 300, 400}));
    EXPECT_DOUBLE_EQ(state.activeOffsets.y.load(), 153.40);
    EXPECT_EQ(display.Text(Window::Calibration, IDC_SCAN_STATUS), Scans::kCompleteText);
}

TEST_F(ServiceTest, YCenterRoundsUpAndTakesOnlyTheEdgesAtTheRotaryAxis) {
    Driver().replies[0x1D] = PositionReply({1000, 2000, 3000, 0});  // origin 0, 0, 0, 0
    // What each step reads: the contacts of steps 7 and 16 make the center;
    // those of the second column (steps 10 and 19) are far off and only shown.
    const std::map<int, MachinePosition> contacts = {{7, {1000, 10841, 3000, 0}},
                                                     {10, {1000, 20000, 3000, 0}},
                                                     {16, {1000, 4160, 3000, 0}},
                                                     {19, {1000, -5000, 3000, 0}},
                                                     {21, {1000, 2000, 3000, 0}}};
    state.scanStep = 0;
    state.scanKind = kYCenterScan;
    for (int step = 1; step <= 21; ++step) {
        if (contacts.count(step)) SetPosition(contacts.at(step));
        Iterate();
    }
    EXPECT_EQ(state.scanKind.load(), kNoScan);
    EXPECT_THAT(YCenterTexts(display), ElementsAre("120.00", "211.59", "30.01", "-61.59", "75.01"));
    EXPECT_EQ(display.yCenter.load(), 7501);
    const std::vector<std::string> frames = MotionFrames(Driver());
    ASSERT_GE(frames.size(), 2u);
    // Back to where step 21 read, then the origin with the center as its Y.
    EXPECT_EQ(frames[frames.size() - 2], "move 1000 2000 3000 0 @3000");
    EXPECT_EQ(frames.back(), "origin 0 7501 0 0");
    EXPECT_DOUBLE_EQ(state.activeOffsets.y.load(), 75.01);
}

class ToolSensorScanTest : public SimServiceTest {
protected:
    void SetUp() override {
        SimServiceTest::SetUp();
        if (HasFatalFailure()) return;
        // Where the Y-center scan leaves the origin's Y.
        port.SetOrigin(0, 15340, 0, 0);
        StartScan(kToolSensorScan);
    }
    bool IterateToThePause() {
        return IterateUntil([&] { return display.pausesShown.load() > 0; });
    }
};

TEST_F(ToolSensorScanTest, PausesThenKeepsTheSensorOffset) {
    std::vector<int> kindsWhileShown;
    display.whileShown = [&] { kindsWhileShown.push_back(state.scanKind.load()); };
    ASSERT_TRUE(IterateToThePause());
    EXPECT_THAT(display.boxes,
                ElementsAre(std::pair<std::string, std::string>(kSensorPauseTexts[0], "Pause"),
                            std::pair<std::string, std::string>(kSensorPauseTexts[1], "Pause")));
    EXPECT_THAT(kindsWhileShown, ElementsAre(kNoScan, kNoScan));
    // Bar top at A 0 is 7601.5: the touch stops at 7601, 10.00 mm above the center line.
    EXPECT_EQ(display.Text(Window::Calibration, IDC_REF_RIGHT), "66.01");
    EXPECT_EQ(display.Text(Window::Calibration, IDC_REF_LEFT), "66.01");
    EXPECT_EQ(state.scanKind.load(), kToolSensorScan);
    EXPECT_EQ(state.scanStep.load(), 9);
    Iterate();  // step 10: over to the tool sensor
    EXPECT_EQ(Position().x, profile.toolSensorLocX);

    ASSERT_NE(IterateUntilIdle(), -1);
    EXPECT_EQ(display.pausesShown.load(), 1);
    // The tool sensor's top: 3.50 mm below TOOLSENSORLOCZ.
    EXPECT_EQ(display.Text(Window::Calibration, IDC_TOOL_SENSOR), "75.50");
    EXPECT_EQ(display.Text(Window::Calibration, IDC_ZA), "-949");
    EXPECT_EQ(thread->ReferenceZ(), 6601);
    EXPECT_EQ(thread->ToolSensorZ(), 7550);
    EXPECT_EQ(config->SensorOffset(), -949);
    EXPECT_EQ(platform::ReadProfileString("TSO", "ZA", "", config->Path()), "-949");
    EXPECT_EQ(display.Text(Window::Calibration, IDC_SCAN_STATUS), Scans::kCompleteText);
    EXPECT_EQ(Position().z, profile.zLimit);
}

TEST_F(ToolSensorScanTest, AShutdownWhileABoxIsUpLeavesTheScanEnded) {
    display.whileShown = [&] { thread->RequestStop(); };
    ASSERT_TRUE(IterateToThePause());
    EXPECT_EQ(display.boxes.size(), 1u);  // the second box is not shown
    EXPECT_EQ(state.scanKind.load(), kNoScan);
}

TEST_F(ToolSensorScanTest, AStopWhileTheBoxesAreUpEndsTheScan) {
    display.whileShown = [&] { RequestStopCycle(state); };
    ASSERT_TRUE(IterateToThePause());
    EXPECT_EQ(display.boxes.size(), 2u);
    EXPECT_EQ(state.scanKind.load(), kNoScan);
    Iterate(3);  // the stop cycle, and nothing of the scan
    EXPECT_EQ(state.scanStep.load(), 9);
    EXPECT_EQ(display.Text(Window::Calibration, IDC_TOOL_SENSOR), "<unset>");
}

TEST_F(SimServiceTest, StopDuringARunoutKeepsWhatItShowed) {
    StartScan(kRunoutScan);
    // Up to the touch at 90 degrees, whose detection cycle is pending.
    ASSERT_TRUE(IterateUntil([&] { return state.scanStep.load() == 8; }));
    EXPECT_EQ(state.cycleCode.load(), kDetectionCycle);
    EXPECT_TRUE(RequestStopCycle(state));
    EXPECT_EQ(IterateUntilIdle(), 1);  // the stop cycle replaces the detection cycle
    Iterate(5);
    EXPECT_EQ(state.scanStep.load(), 8);
    EXPECT_EQ(display.Text(Window::Calibration, IDC_SCAN_0), "76.01");
    EXPECT_EQ(display.Text(Window::Calibration, IDC_SCAN_90), "<unset>");
    EXPECT_EQ(display.Text(Window::Calibration, IDC_SCAN_STATUS), "<unset>");
}

TEST_F(SimServiceTest, AFailedOriginReadLeavesTheOriginUntouched) {
    port.SetOrigin(100, 200, 300, 400);
    state.activeOffsets.y = 2.0;
    ASSERT_TRUE(Panel("fault fail-opcode 29"));  // the user position, so ReadOrigin fails

    // Y-center: the center is measured and shown, but not made the origin.
    StartScan(kYCenterScan);
    ASSERT_NE(IterateUntilIdle(), -1);
    EXPECT_EQ(display.Text(Window::Calibration, IDC_NOMINAL), "153.40");
    EXPECT_EQ(display.Text(Window::Calibration, IDC_SCAN_STATUS), Scans::kNoOriginText);
    EXPECT_EQ(state.activeOffsets.y.load(), 2.0);

    // Tool sensor: without the origin's Y there is nowhere to touch; the scan
    // ends at step 4 without moving.
    const MachinePosition before = Position();
    display.ClearHistory();
    StartScan(kToolSensorScan);
    ASSERT_NE(IterateUntilIdle(), -1);
    EXPECT_EQ(state.scanStep.load(), 4);
    EXPECT_EQ(Position(), (MachinePosition{profile.rotAxisLocX, before.y, profile.zLimit, 0}));
    EXPECT_THAT(display.History(Window::Calibration, IDC_SCAN_STATUS),
                ElementsAre(Scans::kNoOriginText));

    ASSERT_TRUE(Panel("fault clear"));
    EXPECT_EQ(Origin(), (MachinePosition{100, 200, 300, 400}));
}

// Frame level: a touch hands over to the detection cycle, and the scan waits
// for it to end before it reads the contact.
TEST_F(ServiceTest, AScanStepNeverRunsWhileItsDetectionCyclePends) {
    SetPosition({1000, 2000, 3000, 0});
    state.scanStep = 0;
    state.scanKind = kRunoutScan;
    Iterate(4);
    ClearFrames();
    std::vector<std::pair<int, int>> stepAndCode;
    for (int i = 0; i < 6; ++i) {
        if (i == 2) {
            SetStatus(1);  // the detection cycle waits for an idle machine, and so does the scan
            Iterate(2);
            SetStatus(2);
        }
        Iterate();
        stepAndCode.emplace_back(state.scanStep.load(), state.cycleCode.load());
    }
    EXPECT_THAT(stepAndCode, ElementsAre(std::pair(5, 6), std::pair(5, 6), std::pair(5, 6),
                                         std::pair(5, 0), std::pair(6, 0), std::pair(7, 0)));
    EXPECT_THAT(MotionFrames(Driver()),
                ElementsAre("probe 1000 2000 4000 @120", "move 1000 2000 3050 0 @50",
                            "probe 1000 2000 4000 @10", "move 1000 2000 3200 0 @3000",
                            "move 1000 2000 3000 9000 @3000"));
    EXPECT_EQ(display.Text(Window::Calibration, IDC_SCAN_0), "30.00");

    // A failed position read takes no action and does not count the step: it
    // is taken in the next idle iteration.
    ClearFrames();
    Driver().outcomes[0x17] = {true, false};  // the loop's read, then the scan's
    Iterate();
    EXPECT_EQ(state.scanStep.load(), 7);
    EXPECT_TRUE(MotionFrames(Driver()).empty());
    Iterate();
    EXPECT_EQ(state.scanStep.load(), 8);
    EXPECT_EQ(state.cycleCode.load(), kDetectionCycle);  // step 8 touches
}

// Frame level: every move and probe of the three scans, with its speed,
// approach and step-back, from a machine that always reads X 10, Y 20, Z 30
// and the profile's defaults (rotary axis at X 60, Y 72; Y limit 105; tool
// sensor at X 133, Y 4; safe Z 105).
TEST_F(ServiceTest, ScansMoveAndProbeWithTheirSpeedsAndDistances) {
    const std::vector<std::string> touch = {
        "probe 1000 2000 4000 @120", "move 1000 2000 3050 0 @50", "probe 1000 2000 4000 @10"};
    auto move = [](const char* xyza, int speed = 3000) {
        return std::string("move ") + xyza + " @" + std::to_string(speed);
    };
    using Frames = std::vector<std::string>;
    auto join = [](std::initializer_list<Frames> parts) {
        Frames all;
        for (const Frames& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const Frames turn = {move("1000 2000 3200 0")};  // lift 2 mm off the contact
    const Frames runout = join({{move("1000 2000 10500 0"), move("1000 2000 3000 0"),
                                 move("6000 2000 3000 0"), move("1000 7200 3000 0")},
                                touch,
                                turn,
                                {move("1000 2000 3000 9000")},
                                touch,
                                turn,
                                {move("1000 2000 3000 18000")},
                                touch,
                                turn,
                                {move("1000 2000 3000 27000")},
                                touch,
                                turn,
                                {move("1000 2000 10500 0"), move("1000 2000 3000 0")}});
    const Frames edges = {
        move("1000 2000 6000 0", 1500),  // down beside the bar
        "probe 1000 10500 3000 @50",    move("1000 1500 3000 0"),
        move("-2000 2000 3000 0"),  // the second column
        "probe 1000 10500 3000 @50",    move("1000 1500 3000 0"), move("1000 2000 10500 0"),
        move("1000 8700 3000 0"),       move("4000 2000 3000 0"), move("1000 2000 6000 0", 1500),
        "probe 1000 0 3000 @50",        move("1000 2500 3000 0"), move("-2000 2000 3000 0"),
        "probe 1000 0 3000 @50",        move("1000 2500 3000 0"), move("1000 2000 10500 0")};
    const Frames yCenter = join({{move("1000 2000 10500 0"), move("1000 2000 3000 0"),
                                  move("6000 2000 3000 0"), move("1000 5700 3000 0")},
                                 edges,
                                 {move("1000 2000 3000 0"), "origin 1000 2000 3000 0"}});
    const Frames toolSensor =
        join({{move("1000 2000 10500 0"), move("6000 2000 3000 0"), move("6000 2000 3000 0"),
               move("1000 2000 3000 0")},
              touch,
              {move("1000 2000 10500 0"), move("-2000 2000 3000 0")},
              touch,
              {move("1000 2000 10500 0"), move("13300 2000 3000 0"), move("1000 400 3000 0"),
               "probe 1000 2000 4000 @120", move("1000 2000 3050 0", 120),
               "probe 1000 2000 4000 @10", move("1000 2000 10500 0")}});
    struct Case {
        int kind;
        const Frames& frames;
    };
    for (const Case& c : {Case{kRunoutScan, runout}, Case{kYCenterScan, yCenter},
                          Case{kToolSensorScan, toolSensor}}) {
        ClearFrames();
        state.scanStep = 0;
        state.scanKind = c.kind;
        for (int i = 0; i < 100 && state.scanKind.load() != kNoScan; ++i) Iterate();
        EXPECT_EQ(MotionFrames(Driver()), c.frames) << "scan kind " << c.kind;
    }
}

}  // namespace
