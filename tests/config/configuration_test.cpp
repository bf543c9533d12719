// The configuration file without a machine: defaults, formats, key order,
// garbage, the machine type and its profile, the aux location writes.
#include "config/configuration.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "config/config_test_util.h"
#include "link/machine_port.h"

namespace {

using config_test::ConfigFolder;

const MachineProfile kJwx10Column{14000, 10500, 10500, 0,    10500, 13300, 400,
                                  7000,  6000,  7200,  5200, 10500, 0,     0};
const MachineProfile kMdx40Column{30500, 30500, 10500, 0,    30500, 28000, 28400,
                                  7900,  13500, 15300, 6100, 10500, 0,     0};

class ConfigurationTest : public ConfigFolder {
protected:
    // LoadSettings touches the machine only on a first run; these tests have none.
    std::string Load(Configuration& config, std::string modelName = "") {
        config.LoadSettings(port, modelName);
        return modelName;
    }
    CMachinePort port;
};

TEST_F(ConfigurationTest, NoFileReadsTheDefaultsAndTheFirstSaveCreatesItInKeyOrder) {
    EXPECT_EQ(Configuration::ReadMachineType(Folder()), 0);
    Configuration config(Folder());
    EXPECT_EQ(config.Path(), Path());
    EXPECT_EQ(Load(config), "Roland JWX-10");
    // Not one model's column: YVIEWPOS, TOOLSENSORLOCZ and TOOLBARHT1 are the MDX-40's.
    EXPECT_EQ(config.Profile(), (MachineProfile{14000, 10500, 10500, 0, 30500, 13300, 400, 7900,
                                                6000, 7200, 6100, 10500, 0, 0}));
    Settings rest = config.Values();
    rest.profile = {};
    EXPECT_EQ(rest, Settings{}) << "everything else reads as 0";
    EXPECT_FALSE(FileExists()) << "reading writes nothing";

    // The first save creates the file with its keys in order and their formats.
    config.SetSensorOffset(-250);
    config.SetCurrentTool(3);
    config.SetToolOffsetValue(12.5);
    for (int i = 0; i < kFixtureOffsetCount; ++i) {
        const double v = i + 1;
        ASSERT_TRUE(config.SetFixtureOffset(i, {v, -v, v / 4, 100 * v}));
    }
    ASSERT_TRUE(config.SetFixtureZ(3, -0.004));
    config.SetUseFixture(1);
    config.SetSelectedFixture(2);
    config.SaveSettings();
    EXPECT_EQ(FileText(),
              "[TSO]\r\nZA=-250\r\nCURRENT=3\r\nVALUE=12.500000\r\n"
              "[WORKOFFSET1]\r\nX=1.00\r\nY=-1.00\r\nZ=0.25\r\nA=100.00\r\n"
              "[WORKOFFSET2]\r\nX=2.00\r\nY=-2.00\r\nZ=0.50\r\nA=200.00\r\n"
              "[WORKOFFSET3]\r\nX=3.00\r\nY=-3.00\r\nZ=0.75\r\nA=300.00\r\n"
              "[WORKOFFSET4]\r\nX=4.00\r\nY=-4.00\r\nZ=-0.00\r\nA=400.00\r\n"
              "[WORKOFFSET]\r\nVALUE=1\r\nNUM=2\r\n");

    EXPECT_FALSE(config.SetFixtureOffset(4, {9, 9, 9, 9}));
    EXPECT_FALSE(config.SetFixtureZ(-1, 9));
    EXPECT_EQ(config.FixtureOffsets()[0], (FixtureOffset{1, -1, 0.25, 100}));
}

TEST_F(ConfigurationTest, SavingRewritesValuesInPlaceAndLeavesTheOtherSectionsAlone) {
    SetFileText(
        "; edited by hand\r\n[MACHINEINFO]\r\nMACHINETYPE=1\r\nXLIMIT=123\r\n"
        "[TOOLPOSITION1]\r\nX=1.234\r\n[WORKOFFSET2]\r\nx=12.345\r\n[TSO]\r\nVALUE=0\r\n");
    Configuration config(Folder());
    EXPECT_EQ(Load(config), "Roland MDX-40");
    EXPECT_EQ(config.FixtureOffsets()[1].x, 12.345);
    EXPECT_EQ(config.AuxLocations()[0].x, 1.234);
    config.SaveSettings();

    EXPECT_EQ(Key("WORKOFFSET2", "X"), "12.35");
    EXPECT_EQ(Key("TSO", "VALUE"), "0.000000");
    const std::string text = FileText();
    EXPECT_TRUE(
        text.starts_with("; edited by hand\r\n[MACHINEINFO]\r\nMACHINETYPE=1\r\nXLIMIT=123\r\n"
                         "[TOOLPOSITION1]\r\nX=1.234\r\n[WORKOFFSET2]\r\nx=12.35\r\n"))
        << text;
}

TEST_F(ConfigurationTest, TextThatIsNoNumberReadsAsZero) {
    SetFileText(
        "[MACHINEINFO]\r\nMACHINETYPE=one\r\nXLIMIT=abc\r\nYLIMIT=\r\nZLIMIT=12abc\r\n"
        "XVIEWPOS=99999999999\r\nYVIEWPOS=-2147483649\r\nTOOLSENSORLOCX=  -42  \r\n"
        "[TSO]\r\nZA=x\r\nCURRENT=\"7\"\r\nVALUE=nan\r\n"
        "[TOOLPOSITION1]\r\nX=garbage\r\nY=inf\r\n"
        "[WORKOFFSET1]\r\nX=1e999\r\nY=-1e999\r\nZ=\r\nA=1.5.5\r\n"
        "[WORKOFFSET]\r\nVALUE=yes\r\nNUM=3rd\r\n");
    Configuration config(Folder());
    EXPECT_EQ(Load(config, "unchanged"), "Roland JWX-10");  // "one" is type 0
    const Settings s = config.Values();
    EXPECT_EQ(s.profile.xLimit, 0);
    EXPECT_EQ(s.profile.yLimit, 0) << "an empty value is no missing key: 0, not the default";
    EXPECT_EQ(s.profile.zLimit, 12);
    EXPECT_EQ(s.profile.xViewPos, 1215752191) << "wraps to 32 bits like atol";
    EXPECT_EQ(s.profile.yViewPos, 2147483647);
    EXPECT_EQ(s.profile.toolSensorLocX, -42);
    EXPECT_EQ(s.profile.toolSensorLocY, 400);
    EXPECT_EQ(s.sensorOffset, 0);
    EXPECT_EQ(s.currentTool, 7);
    EXPECT_EQ(s.toolOffsetValue, 0.0);
    EXPECT_EQ(s.auxLocations[0], AuxLocation{});
    EXPECT_EQ(s.fixtureOffsets[0], (FixtureOffset{0, 0, 0, 1.5}));
    EXPECT_EQ(s.useFixture, 0);
    EXPECT_EQ(s.selectedFixture, 3);
}

TEST_F(ConfigurationTest, OnlyTypes0And1NameTheModel) {
    const struct {
        const char* text;
        int type;
        const char* name;
    } cases[] = {{"0", 0, "Roland JWX-10"},
                 {"1", 1, "Roland MDX-40"},
                 {"2", 2, "before"},
                 {"-1", -1, "before"}};
    for (const auto& c : cases) {
        SetFileText(std::string("[MACHINEINFO]\nMACHINETYPE=") + c.text + "\n");
        EXPECT_EQ(Configuration::ReadMachineType(Folder()), c.type);
        Configuration config(Folder());
        EXPECT_EQ(Load(config, "before"), c.name) << c.text;
        EXPECT_EQ(config.MachineType(), c.type);
    }
}

TEST_F(ConfigurationTest, WriteMachineProfileWritesTheTypeThenItsColumnInOrder) {
    const struct {
        int type;
        const char* column;
        const MachineProfile& profile;
    } cases[] = {
        {0,
         "XLIMIT=14000\r\nYLIMIT=10500\r\nZLIMIT=10500\r\nXVIEWPOS=0\r\nYVIEWPOS=10500\r\n"
         "TOOLSENSORLOCX=13300\r\nTOOLSENSORLOCY=400\r\nTOOLSENSORLOCZ=7000\r\n"
         "ROTAXISLOCX=6000\r\nROTAXISLOCY=7200\r\nTOOLBARHT1=5200\r\nTOOLBARHT2=10500\r\n",
         kJwx10Column},
        {1,
         "XLIMIT=30500\r\nYLIMIT=30500\r\nZLIMIT=10500\r\nXVIEWPOS=0\r\nYVIEWPOS=30500\r\n"
         "TOOLSENSORLOCX=28000\r\nTOOLSENSORLOCY=28400\r\nTOOLSENSORLOCZ=7900\r\n"
         "ROTAXISLOCX=13500\r\nROTAXISLOCY=15300\r\nTOOLBARHT1=6100\r\nTOOLBARHT2=10500\r\n",
         kMdx40Column},
    };
    for (const auto& c : cases) {
        std::remove(Path().c_str());
        Configuration config(Folder());
        config.WriteMachineProfile(c.type);
        EXPECT_EQ(FileText(),
                  "[MACHINEINFO]\r\nMACHINETYPE=" + std::to_string(c.type) + "\r\n" + c.column);
        Load(config);
        EXPECT_EQ(config.Profile(), c.profile);
    }

    // No type chosen (-1) gets the MDX-40 column; keys not in the column stay.
    SetFileText("[MACHINEINFO]\r\nMACHINETYPE=-1\r\nUSE_DOUBLE_FIXTURE=1\r\n");
    Configuration config(Folder());
    config.WriteMachineProfile(-1);
    EXPECT_EQ(Key("MACHINEINFO", "MACHINETYPE"), "-1");
    Load(config);
    MachineProfile expected = kMdx40Column;
    expected.useDoubleFixture = 1;
    EXPECT_EQ(config.Profile(), expected);
}

TEST_F(ConfigurationTest, AuxLocationWriteKeepsExactlyWhatTheFileHolds) {
    Configuration config(Folder());
    EXPECT_FALSE(config.WriteAuxLocation(0, {1, 2, 3, 4}));
    EXPECT_FALSE(config.WriteAuxLocation(5, {1, 2, 3, 4}));
    EXPECT_FALSE(FileExists());

    ASSERT_TRUE(config.WriteAuxLocation(3, {12345, -678, 5, 6}));
    ASSERT_TRUE(config.WriteAuxLocation(1, {2147483647, 3015, 0, 0}));
    EXPECT_EQ(FileText(),
              "[TOOLPOSITION3]\r\nX=123.45\r\nY=-6.78\r\n"
              "[TOOLPOSITION1]\r\nX=21474836.47\r\nY=30.15\r\n");
    // The parsed text, not count * 0.01, which differs in the last bits.
    ASSERT_NE(3015 * 0.01, 30.15);
    const auto locations = config.AuxLocations();
    EXPECT_EQ(locations[2], (AuxLocation{123.45, -6.78}));
    EXPECT_EQ(locations[0], (AuxLocation{21474836.47, 30.15}));
    EXPECT_EQ(locations[1], AuxLocation{});

    config.SaveSettings();  // writes no aux location
    EXPECT_EQ(Key("TOOLPOSITION2", "X"), config_test::kMissing);
    EXPECT_EQ(Key("MACHINEINFO", "MACHINETYPE"), config_test::kMissing);
}

TEST_F(ConfigurationTest, AFileThatCannotBeWrittenLeavesTheValuesInMemory) {
    Configuration config(Folder() + "missing/");
    config.WriteMachineProfile(1);
    config.SetToolOffsetValue(3.25);
    config.SaveSettings();
    ASSERT_TRUE(config.WriteAuxLocation(2, {150, 250, 0, 0}));
    EXPECT_EQ(config.ToolOffsetValue(), 3.25);
    EXPECT_EQ(config.AuxLocations()[1], (AuxLocation{1.5, 2.5}));
    EXPECT_EQ(dir.List(), std::vector<std::string>{});
}

}  // namespace
