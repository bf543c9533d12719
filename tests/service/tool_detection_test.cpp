// Tool detection: the frames it sends (recording driver), and what it measures
// and sets on the simulated machine.
#include "service/tool_detection.h"

#include <gmock/gmock.h>

#include <sstream>

#include "platform/beep.h"
#include "platform/profile_file.h"
#include "service/control_ids.h"
#include "service/motion_frames.h"
#include "service/requests.h"
#include "service/service_fixture.h"
#include "service/sim_fixture.h"

using ::testing::ElementsAre;

namespace {

std::vector<std::string> ToolDetectionLog(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("Servicing Tool Detection")) lines.push_back(line);
    return lines;
}

TEST_F(ServiceTest, ToolDetectionStepsMovesProbesAndSpeeds) {
    ASSERT_TRUE(log.Open(m_folder));
    const MachineProfile p = config->Profile();
    config->SetSensorOffset(-949);
    Driver().replies[0x05] = {0x03};  // cable in, not touched
    SetPosition({1000, 2000, 3000, 500});
    Driver().replies[0x1D] = PositionReply({900, 1800, 2500, 0});  // origin 100, 200, 500, 500
    ASSERT_TRUE(RequestIfIdle(state, kToolDetectionRequest));

    SetStatus(1);  // busy: logged, not advanced
    Iterate(2);
    EXPECT_EQ(state.cycleStep.load(), 0);
    SetStatus(2);
    state.jobStartTime = 123;
    Iterate(8);
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    EXPECT_EQ(state.jobStartTime.load(), 0);
    const std::string z = std::to_string(p.zLimit);
    EXPECT_THAT(MotionFrames(Driver()),
                ElementsAre("move 1000 2000 " + z + " 500 @3000",
                            "move " + std::to_string(p.toolSensorLocX) + " 2000 3000 500 @3000",
                            "move 1000 " + std::to_string(p.toolSensorLocY) + " 3000 500 @3000",
                            "move 1000 2000 " + std::to_string(p.toolSensorLocZ) + " 500 @3000",
                            "probe 1000 2000 4000 @50", "move 1000 2000 3050 500 @50",
                            "probe 1000 2000 4000 @1",
                            // contact Z 3000 plus the sensor offset
                            "origin 100 200 2051 500", "move 1000 2000 " + z + " 500 @3000"));
    log.Close();
    EXPECT_THAT(ToolDetectionLog(ReadLog()),
                ElementsAre("Servicing Tool Detection...Machine Busy",
                            "Servicing Tool Detection...Machine Busy",
                            "Servicing Tool Detection...Step1", "Servicing Tool Detection...Step 5",
                            "Servicing Tool Detection...Step 8 and Finished"));
}

// The simulated tool sensor's top is 3.50 mm below TOOLSENSORLOCZ (7900) for
// the reference tool of 2500 counts; a tool 2.00 mm longer touches at 7750.
constexpr std::int32_t kToolLength = 2700;
constexpr std::int32_t kContactZ = 7900 - 350 + (kToolLength - 2500);
constexpr std::int32_t kSensorOffset = -949;

class ToolDetectionTest : public SimServiceTest {
protected:
    void SetUp() override {
        SimServiceTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Panel("tool " + std::to_string(kToolLength)));
        port.SetOrigin(100, 200, 300, 400);
        config->SetSensorOffset(kSensorOffset);
        config->SetToolOffsetValue(12.5);
        config->SetFixtureOffset(1, {1.0, 2.0, 3.0, 4.0});
        state.activeOffsets.z = 5.0;
    }
    void TearDown() override {
        platform::SetBeepHandler({});
        SimServiceTest::TearDown();
    }
};

TEST_F(ToolDetectionTest, MeasuresTheToolAndSetsTheZOrigin) {
    int beeps = 0;
    platform::SetBeepHandler([&](int, int) { ++beeps; });
    ASSERT_TRUE(RequestIfIdle(state, kToolDetectionRequest));
    // Per iteration: did the loop beep? It checks before the step acts, so it
    // beeps in the iterations after the two probes, while the tool rests on the sensor.
    std::vector<int> beeped;
    for (int i = 0; i < 8; ++i) {
        const int before = beeps;
        Iterate();
        beeped.push_back(beeps - before);
    }
    EXPECT_THAT(beeped, ElementsAre(0, 0, 0, 0, 0, 1, 0, 1));
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);

    const std::int32_t zOrigin = kContactZ + kSensorOffset;  // 6801
    EXPECT_EQ(Origin(), (MachinePosition{100, 200, zOrigin, 400}));
    EXPECT_EQ(Position(),
              (MachinePosition{profile.toolSensorLocX, profile.toolSensorLocY, profile.zLimit, 0}));
    EXPECT_DOUBLE_EQ(config->ToolOffsetValue(), zOrigin * 0.01);
    EXPECT_EQ(state.activeOffsets.z.load(), 0.0);
    for (const FixtureOffset& fixture : config->FixtureOffsets()) EXPECT_EQ(fixture.z, 0.0);
    EXPECT_EQ(config->FixtureOffsets()[1], (FixtureOffset{1.0, 2.0, 0.0, 4.0}));
    EXPECT_DOUBLE_EQ(std::stod(platform::ReadProfileString("TSO", "VALUE", "", config->Path())),
                     68.01);
    // Z is now shown against the measured tool: 105.00 - 68.01.
    Iterate();
    EXPECT_EQ(display.Text(Window::Main, IDC_POS_Z), "36.99");
    EXPECT_EQ(beeps, 2);
}

TEST_F(ToolDetectionTest, AnUnpluggedSensorCableEndsItAtOnceWithoutAMove) {
    ASSERT_TRUE(port.MoveTo(5000, 6000, 8000, 0, 3000));
    ASSERT_TRUE(Panel("cable off"));
    ASSERT_TRUE(RequestIfIdle(state, kToolDetectionRequest));
    Iterate();
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    Iterate(3);
    EXPECT_EQ(Position(), (MachinePosition{5000, 6000, 8000, 0}));
    EXPECT_EQ(Origin(), (MachinePosition{100, 200, 300, 400}));
    EXPECT_EQ(config->ToolOffsetValue(), 12.5);
}

TEST_F(ToolDetectionTest, WithoutTheOriginNothingIsSetButTheToolIsRetracted) {
    ASSERT_TRUE(Panel("fault fail-opcode 29"));  // the user position, so ReadOrigin fails
    ASSERT_TRUE(RequestIfIdle(state, kToolDetectionRequest));
    Iterate(8);
    EXPECT_EQ(state.cycleCode.load(), kNoCycle);
    EXPECT_EQ(Position().z, profile.zLimit);
    EXPECT_EQ(display.Text(Window::Main, IDC_STATUS), ToolDetection::kNoOriginText);
    ASSERT_TRUE(Panel("fault clear"));
    EXPECT_EQ(Origin(), (MachinePosition{100, 200, 300, 400}));
    EXPECT_EQ(config->ToolOffsetValue(), 12.5);
    EXPECT_EQ(state.activeOffsets.z.load(), 5.0);
    EXPECT_EQ(config->FixtureOffsets()[1].z, 3.0);
    EXPECT_EQ(platform::ReadProfileString("TSO", "VALUE", "none", config->Path()), "none");
}

}  // namespace
