// The first start after the machine type was chosen: LoadSettings seeds the
// fixture offsets, the sensor offset and the fixture choice from the machine,
// here the recording driver, or, when a machine read fails, seeds nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include "config/config_test_util.h"
#include "config/configuration.h"
#include "link/machine_port.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "support/recording_driver_client.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using config_test::kMissing;

RecordingDriver* Driver() { return LoadRecordingDriver(); }

class FirstRunTest : public config_test::ConfigFolder {
protected:
    void SetUp() override {
        ConfigFolder::SetUp();
        platform::SetProgramFolder(RECORDING_DRIVER_DIR);
        platform::SetMessageBoxHandler([](const std::string&, const std::string&) {});
        ASSERT_NE(Driver(), nullptr) << dlerror();
        Driver()->Reset();
        port.SetPortName("Config Test Mill " + std::to_string(getpid()));
        ASSERT_TRUE(port.OpenPort());
        Driver()->calls.clear();
    }
    void TearDown() override {
        platform::SetMessageBoxHandler({});
        platform::SetProgramFolder("");
    }

    // The machine reports `origin` (its user position is 0) and the sensor
    // offset in the last two bytes of parameter block 4, high byte first.
    void ScriptMachine(MachinePosition origin, std::uint8_t high, std::uint8_t low) {
        Driver()->replies[0x17] = PositionReply(origin);
        Driver()->replies[0x1D] = Bytes(16, 0);
        Bytes block(38, 0x11);
        block[36] = high;
        block[37] = low;
        Driver()->replies[0x16] = block;
    }

    // Start-up with MACHINETYPE -1 and `type` chosen, up to LoadSettings.
    void ChooseMachineType(Configuration& config, int type) {
        ASSERT_EQ(Configuration::ReadMachineType(Folder()), -1);
        config.SetMachineType(type);
        config.SetFirstRun(true);
        config.WriteMachineProfile(type);
        config.SetMachineType(Configuration::ReadMachineType(Folder()));
    }

    const std::string kHandEdited =
        "[MACHINEINFO]\r\nMACHINETYPE=-1\r\n"
        "[WORKOFFSET1]\r\nZ=5.55\r\n"
        "[WORKOFFSET4]\r\nX=1.00\r\nY=2.00\r\nZ=3.00\r\nA=4.00\r\n";
    CMachinePort port;
};

TEST_F(FirstRunTest, SeedsFixtureOffsetsSensorOffsetAndFixtureChoiceFromTheMachine) {
    const struct {
        int type;
        const char* model;
        const char* x;  // fixture X in the file: the origin's, 1.15 mm on for the MDX-40
        std::uint8_t high, low;
        std::int32_t sensorOffset;
    } cases[] = {{1, "Roland MDX-40", "101.15", 0xFF, 0x38, -200},
                 {0, "Roland JWX-10", "100.00", 0x01, 0x2C, 300}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        SetFileText(kHandEdited);
        Driver()->Reset();
        ScriptMachine({10000, 20050, 300, -9000}, c.high, c.low);
        Configuration config(Folder());
        ChooseMachineType(config, c.type);
        std::string model;
        config.LoadSettings(port, model);
        EXPECT_EQ(model, c.model);
        EXPECT_FALSE(config.FirstRun());

        for (const char* section : {"WORKOFFSET1", "WORKOFFSET2", "WORKOFFSET3"}) {
            EXPECT_EQ(Key(section, "X"), c.x) << section;
            EXPECT_EQ(Key(section, "Y"), "200.50") << section;
            EXPECT_EQ(Key(section, "A"), "-90.00") << section;
        }
        EXPECT_EQ(Key("WORKOFFSET1", "Z"), "5.55");
        EXPECT_EQ(Key("WORKOFFSET2", "Z"), kMissing);
        EXPECT_EQ(Key("WORKOFFSET3", "Z"), kMissing);
        EXPECT_TRUE(FileText().find("[WORKOFFSET4]\r\nX=1.00\r\nY=2.00\r\nZ=3.00\r\nA=4.00\r\n[") !=
                    std::string::npos)
            << FileText();
        EXPECT_EQ(Key("TSO", "ZA"), std::to_string(c.sensorOffset));
        EXPECT_EQ(Key("WORKOFFSET", "VALUE"), "1");
        EXPECT_EQ(Key("WORKOFFSET", "NUM"), "1");
        EXPECT_EQ(Key("TSO", "CURRENT"), kMissing);

        // What was seeded is what is in memory now.
        const Settings s = config.Values();
        EXPECT_EQ(s.fixtureOffsets[0], (FixtureOffset{std::stod(c.x), 200.5, 5.55, -90}));
        EXPECT_EQ(s.fixtureOffsets[3], (FixtureOffset{1, 2, 3, 4}));
        EXPECT_EQ(s.sensorOffset, c.sensorOffset);
        EXPECT_EQ(s.useFixture, 1);
        EXPECT_EQ(s.selectedFixture, 1);

        const auto calls = Driver()->Calls();
        ASSERT_EQ(calls.size(), 4u);
        EXPECT_EQ(calls[2].request, (Bytes{0x16, 0x00, 0x04}));
        EXPECT_EQ(calls[2].replyLength, 38u);
        EXPECT_EQ(calls[3].request, (Bytes{0x16, 0x00, 0x05}));
        EXPECT_EQ(calls[3].replyLength, 22u);
    }
}

TEST_F(FirstRunTest, AFailedMachineReadWritesNothingKeepsTheFlagAndStillReadsTheFile) {
    for (std::uint8_t failing : {0x17, 0x1D, 0x16}) {
        SCOPED_TRACE(static_cast<int>(failing));
        SetFileText(kHandEdited);
        Driver()->Reset();
        ScriptMachine({10000, 20050, 300, -9000}, 0x00, 0x05);
        Configuration config(Folder());
        ChooseMachineType(config, 1);
        const std::string before = FileText();

        Driver()->failures[failing] = 1;
        std::string model;
        config.LoadSettings(port, model);
        EXPECT_EQ(FileText(), before);
        EXPECT_TRUE(config.FirstRun());
        EXPECT_EQ(model, "Roland MDX-40");
        EXPECT_EQ(config.Profile().xLimit, 30500);
        EXPECT_EQ(config.FixtureOffsets()[0].z, 5.55);

        // The kept flag lets a later load seed once the machine answers.
        config.LoadSettings(port, model);
        EXPECT_FALSE(config.FirstRun());
        EXPECT_EQ(Key("TSO", "ZA"), "5");
        EXPECT_EQ(config.SensorOffset(), 5);
    }
}

TEST_F(FirstRunTest, AnyOtherStartLeavesTheMachineAlone) {
    SetFileText("[MACHINEINFO]\r\nMACHINETYPE=1\r\n");
    ScriptMachine({10000, 20050, 300, -9000}, 0x00, 0x05);
    Configuration config(Folder());
    std::string model;
    config.LoadSettings(port, model);
    EXPECT_TRUE(Driver()->Calls().empty());
    EXPECT_EQ(FileText(), "[MACHINEINFO]\r\nMACHINETYPE=1\r\n");
}

}  // namespace
