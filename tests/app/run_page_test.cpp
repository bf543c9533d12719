// The run page: the run list as the operator edits it, a real job run from
// the page, Stop, and the overrides on release.
#include "jobs/run_page.h"

#include <gmock/gmock.h>

#include <QListWidget>
#include <QProcess>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "jobs/page_tab_ctrl.h"
#include "jobs/preview_wnd.h"
#include "jobs/run_page_ids.h"
#include "jobs/toolpath_library.h"
#include "ui/trackbar.h"

namespace {

std::string Example(const char* name) { return std::string(TARNWICK_EXAMPLES_DIR) + "/" + name; }

class RunPageTest : public MainWindowTest {
protected:
    void SetUp() override {
        UseDriver(Driver::Simulated);
        Start();
        page = &window->Pages()->RunPage();
    }
    void TearDown() override {
        CRunPage::SetFileChooser({});
        MainWindowTest::TearDown();
    }
    void Add(const std::string& path) {
        CRunPage::SetFileChooser([path](QWidget*) { return path; });
        page->Control<QAbstractButton>(IDC_RUN_ADD)->click();
    }
    QListWidget& List() { return *page->Control<QListWidget>(IDC_FILE_LIST); }
    std::string Write(const std::string& name, const std::string& contents) {
        std::ofstream(folder + name) << contents;
        return folder + name;
    }
    std::string MachineStatus() {
        QProcess tool;
        tool.start(TARNWICK_PROGRAM_DIR "/tarnwick-sim", {"status", "Roland JWX-10"});
        tool.waitForFinished(10000);
        return tool.readAllStandardOutput().toStdString();
    }

    CRunPage* page = nullptr;
};

TEST_F(RunPageTest, AddAndDeleteKeepListAndCommandCountTogether) {
    const std::string three = Write("three.prn", "A;B;C;\n");
    Add(three);
    Add(three);
    ASSERT_EQ(List().count(), 2);
    EXPECT_EQ(List().item(1)->text(), "three.prn");
    EXPECT_TRUE(
        WaitUntil([&] { return List().item(0)->toolTip() == "3 commands, about 0.0 min."; }));
    RunList& runList = window->State().runList;
    EXPECT_EQ(runList.CommandCount(), 6u);

    Add(Write("drill.nc", "G0 X1\n"));
    EXPECT_THAT(List().item(2)->toolTip().toStdString(), ::testing::HasSubstr("no commands"));
    const std::string gone = Write("gone.prn", "A;B;");
    std::filesystem::remove(gone);
    Add(gone);  // listed, 0 commands
    EXPECT_EQ(List().count(), 4);
    EXPECT_EQ(runList.CommandCount(), 6u);

    // Delete with nothing selected takes the last; with a selection, that one.
    List().clearSelection();
    page->OnDelete();
    EXPECT_EQ(List().count(), 3);
    List().setCurrentRow(0);
    page->OnDelete();
    EXPECT_EQ(runList.CommandCount(), 3u);
    EXPECT_EQ(runList.Count(), 2);
    EXPECT_EQ(runList.Path(1), folder + "drill.nc");
    // Afterwards nothing is selected, so the next Delete takes the last file again.
    EXPECT_TRUE(List().selectedItems().isEmpty());
    page->OnDelete();
    EXPECT_EQ(runList.Count(), 1);
    EXPECT_EQ(runList.Path(0), three);

    // Cancelling the file dialog adds nothing; a 21st file is refused with a message.
    Add("");
    EXPECT_EQ(List().count(), 1);
    while (runList.Count() < RunList::kMaxFiles) Add(three);
    Add(three);
    EXPECT_EQ(List().count(), RunList::kMaxFiles);
    EXPECT_THAT(Boxes().back(), ::testing::HasSubstr("20 files"));
}

TEST_F(RunPageTest, ARealJobRunsFromThePageToTheEnd) {
    Add(Example("engraving.rml"));
    page->Control<QAbstractButton>(IDC_RUN_RUN)->click();
    SharedState& state = window->State();
    ASSERT_EQ(state.jobState.load(), kJobRunning);
    // Started two minutes ago, as far as the cut time can tell.
    state.jobStartTime = std::time(nullptr) - 120;
    // The thread shows a percentage of its own and the cut time while the machine cuts.
    EXPECT_TRUE(WaitUntil([&] {
        const QString percent = page->Text(IDC_PERCENT_TEXT);
        return percent.endsWith('%') && percent.contains('.') && percent != "0.0%";
    }));
    EXPECT_TRUE(WaitUntil([&] { return page->Text(IDC_CUT_TIME).startsWith("2."); }));
    EXPECT_TRUE(WaitUntil([&] {
        return state.jobState.load() == kJobIdle && state.commandsDone.load() >= 125 &&
               state.lastStatus.load() == 2;
    }));
    EXPECT_THAT(MachineStatus(), ::testing::HasSubstr("commands done:    128"));
    // The preview's tool stands where the job left it: X 0, Y 100, Z 60 in job coordinates.
    EXPECT_TRUE(WaitUntil([&] {
        const auto tool = page->Preview()->Tool();
        return tool && std::abs(tool->x) < 0.01 && std::abs(tool->y - 100) < 0.01 &&
               std::abs(tool->z - 60) < 0.01;
    })) << page->Preview()->Tool().value_or(jobs::PathPoint{}).y;
}

// The engraving example takes 97.5 s of machine time at 100 % feed.
TEST_F(RunPageTest, TimeLeftComesFromTheToolpathsAtTheFeedOverride) {
    Add(Example("engraving.rml"));
    ASSERT_TRUE(WaitUntil([&] { return page->Text(IDC_TIME_LEFT) == "Time Left: 2 min."; }));
    // The tooltip follows in the same posting; under load it may show a pass later.
    EXPECT_TRUE(WaitUntil([&] {
        return List().item(0)->toolTip() == "128 commands, about 1.6 min.";
    })) << List().item(0)->toolTip().toStdString();
    Add(Example("engraving.rml"));  // known already: not read again
    EXPECT_FALSE(page->Toolpaths().IsReadingAny());
    EXPECT_TRUE(WaitUntil([&] { return page->Text(IDC_TIME_LEFT) == "Time Left: 4 min."; }));
    window->State().feedOverride = 50;
    EXPECT_TRUE(WaitUntil([&] { return page->Text(IDC_TIME_LEFT) == "Time Left: 7 min."; }));
    EXPECT_NEAR(*page->MinutesLeftAfter(128), 3.25, 0.01);  // the second file at half speed
    page->OnDelete();
    page->OnDelete();
    EXPECT_EQ(page->Text(IDC_TIME_LEFT), "");
    EXPECT_FALSE(page->Toolpaths().Find(Example("engraving.rml")));
}

TEST_F(RunPageTest, StopMidJobEndsIt) {
    Add(Example("pocket.rml"));
    page->OnRun();
    SharedState& state = window->State();
    ASSERT_TRUE(WaitUntil([&] { return state.commandsDone.load() > 50; }));
    Click(IDC_STOP);
    ASSERT_TRUE(WaitUntil(
        [&] { return state.jobState.load() == kJobIdle && state.lastStatus.load() == 2; }));
    EXPECT_LT(state.commandsDone.load(), 161u);
    EXPECT_THAT(MachineStatus(), ::testing::Not(::testing::HasSubstr("commands done:    161")));
}

TEST_F(RunPageTest, OverridesActOnlyWhenReleased) {
    auto* feed = page->Control<ui::Trackbar>(IDC_RUN_FEED_TRACKBAR);
    ASSERT_TRUE(WaitUntil([&] { return window->State().cycleCode.load() == kNoCycle; }));
    feed->setValue(150);
    EXPECT_EQ(window->State().feedOverride.load(), 100);
    emit feed->Released();
    EXPECT_EQ(page->Text(IDC_RUN_FEED_LABEL), "150");
    EXPECT_TRUE(WaitUntil(
        [&] { return MachineStatus().find("feed override:    150 %") != std::string::npos; }));
}

class DoubleFixtureRunPageTest : public RunPageTest {
protected:
    void SetUp() override {
        WriteConfig("MACHINEINFO", "USE_DOUBLE_FIXTURE", "1");
        WriteConfig("WORKOFFSET", "VALUE", "1");
        RunPageTest::SetUp();
    }
};

TEST_F(DoubleFixtureRunPageTest, ARefusedRunLeavesTheFixtureChoiceAlone) {
    // In View mode the origin cycle that Run requests waits, and so does the run.
    Panel("Roland JWX-10", "view on");
    Add(Write("a.prn", "PU0,0;"));
    page->OnRun();
    ASSERT_EQ(window->State().jobState.load(), kJobRunning);
    EXPECT_TRUE(window->IsChecked(IDC_FIXTURE1));
    Click(IDC_FIXTURE2);
    // Run again while that run is still going: refused, and fixture 2 stays chosen.
    page->OnRun();
    EXPECT_TRUE(window->IsChecked(IDC_FIXTURE2));
    EXPECT_EQ(config->SelectedFixture(), 1);
    Panel("Roland JWX-10", "view off");
}

}  // namespace
