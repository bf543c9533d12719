// An operator's day on the simulated Roland MDX-40, through the windows only:
// go to the corner of the stock, take it as fixture offset 1, measure the
// tool, run an example job, quit, and find everything as it was next morning.
#define QTEST_QPA_MOUSE_HANDLING
#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <vector>

#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "jobs/jog_button.h"
#include "jobs/jog_page.h"
#include "jobs/jog_page_ids.h"
#include "jobs/page_tab_ctrl.h"
#include "jobs/run_page.h"
#include "jobs/run_page_ids.h"
#include "pages/fixture_offsets_form.h"

namespace {

constexpr const char* kModel = "Roland MDX-40";

std::string Example(const char* name) { return std::string(TARNWICK_EXAMPLES_DIR) + "/" + name; }

struct MachineReport {
    MachinePosition position;
    MachinePosition user;
    std::uint32_t commandsDone = 0;
};

class OperatorDayTest : public MainWindowTest {
protected:
    void SetUp() override {
        UseDriver(Driver::Simulated);
        Configuration(folder).WriteMachineProfile(1);
        WriteConfig("WORKOFFSET", "VALUE",
                    "1");  // fixture offsets in use, as a first run leaves them
    }
    // What the simulated machine itself says.
    MachineReport Machine() {
        const std::string text = Sim(kModel, "status");
        auto axes = [&](const char* label) {
            const auto found = AxesIn(text, label);
            return found.empty() ? MachinePosition{-1, -1, -1, -1} : found.front();
        };
        const auto done = QRegularExpression(R"(commands done:\s+(\d+))")
                              .match(QString::fromStdString(text))
                              .captured(1);
        return {axes("\nposition:\\s+"), axes("user position:\\s+"), done.toUInt()};
    }
    std::vector<MachinePosition> JobMoves() { return AxesIn(Sim(kModel, "moves"), ""); }
    bool Idle() {
        SharedState& state = window->State();
        return state.cycleCode.load() == kNoCycle && state.lastStatus.load() == 2;
    }
    void ShowTab(int index) { window->Control<QTabWidget>(IDC_TABS)->setCurrentIndex(index); }
    void ClickOn(ui::Dialog& page, int id) { page.Control<QAbstractButton>(id)->click(); }
    // "Go" on the jog page: one axis to a typed position, until the window
    // shows it there (the thread may look idle before the move has begun).
    void GoTo(int axis, const char* position) {
        CJogPage& jog = window->Pages()->JogPage();
        ClickOn(jog, IDC_GO_X + axis);
        jog.SetText(IDC_POSITION_EDIT, position);
        ClickOn(jog, IDC_GO);
        ASSERT_TRUE(WaitUntil(
            [&] { return Idle() && Shown(IDC_POS_X + axis) == QString(position) + ".00"; }));
    }
};

TEST_F(OperatorDayTest, CornerFixtureToolJobAndTheNextMorning) {
    Start();
    ClickOn(*window, IDC_FIXTURE1);
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }));

    // To the corner of the stock, the last hundredth with a click on "Right +".
    ShowTab(1);
    GoTo(0, "50");
    GoTo(1, "40");
    GoTo(2, "30");
    CJogButton& right = window->Pages()->JogPage().PlusButton();
    QTest::mouseClick(&right, Qt::LeftButton, {}, right.rect().center());
    ASSERT_TRUE(WaitUntil([&] { return Machine().position.x == 5001 && Idle(); }));
    EXPECT_TRUE(WaitUntil([&] { return Shown(IDC_POS_X) == "50.01"; }));

    // Fixture offset 1 is the corner: X, Y and Z set from where the machine stands.
    ShowTab(2);
    CSetupPage& setup = window->Pages()->SetupPage();
    for (int axis = 0; axis < 3; ++axis) ClickOn(setup, fixture_form::SetButtonId(0, axis));
    EXPECT_EQ(setup.Text(fixture_form::EditId(0, 0)), "50.01");
    EXPECT_EQ(setup.Text(fixture_form::EditId(0, 1)), "40.00");
    EXPECT_EQ(setup.Text(fixture_form::EditId(0, 2)), "30.00");
    ASSERT_TRUE(
        WaitUntil([&] { return Idle() && Machine().user.x == 0 && Machine().user.y == 0; }));

    // The tool measured on the sensor: from now on Z counts from its tip.
    ShowTab(0);
    CRunPage& run = window->Pages()->RunPage();
    ClickOn(run, IDC_RUN_TOOL_DETECTION);
    ASSERT_TRUE(WaitUntil([&] { return Idle() && config->ToolOffsetValue() != 0.0; }));
    const std::int32_t toolZ =
        static_cast<std::int32_t>(std::lround(config->ToolOffsetValue() * 100));

    // The engraving: its first cut lies at the corner plus the job's first
    // coordinates, Z counted from the measured tool.
    CRunPage::SetFileChooser([](QWidget*) { return Example("engraving.rml"); });
    ClickOn(run, IDC_RUN_ADD);
    CRunPage::SetFileChooser({});
    Panel(kModel, "speed 500");
    ClickOn(run, IDC_RUN_RUN);
    ASSERT_TRUE(WaitUntil([&] {
        return window->State().jobState.load() == kJobIdle && Idle() &&
               window->State().commandsDone.load() == 128;
    }));
    // "PU1000,1900;" at the up height 12.00 mm, then "Z1000,1900,970;".
    const std::vector<MachinePosition> moves = JobMoves();
    const auto firstCut = std::find_if(
        moves.begin(), moves.end(), [&](const MachinePosition& m) { return m.z < toolZ + 1200; });
    ASSERT_NE(firstCut, moves.end());
    EXPECT_EQ(*firstCut, (MachinePosition{5001 + 1000, 4000 + 1900, toolZ + 970, 0}));
    EXPECT_EQ(Machine().commandsDone, 128u);  // the whole job: 100 %

    // Quit, and start again the next morning.
    ASSERT_TRUE(WaitUntil([&] { return window->IsEnabled(IDC_CLOSE); }));
    window->Control<QAbstractButton>(IDC_CLOSE)->click();
    window->hide();
    window->OnDestroy();
    window.reset();
    EXPECT_THAT(Boxes(), ::testing::IsEmpty());
    Start();
    EXPECT_TRUE(window->IsChecked(IDC_FIXTURE1));
    ShowTab(2);
    CSetupPage& again = window->Pages()->SetupPage();
    EXPECT_EQ(again.Text(fixture_form::EditId(0, 0)), "50.01");
    EXPECT_EQ(again.Text(fixture_form::EditId(0, 1)), "40.00");
    EXPECT_EQ(again.Text(fixture_form::EditId(0, 2)), "0.00");  // the tool took Z over
    EXPECT_EQ(std::lround(config->ToolOffsetValue() * 100), toolZ);
    ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
    MachinePosition origin;
    ASSERT_TRUE(window->Port().ReadOrigin(origin));
    EXPECT_EQ(origin, (MachinePosition{5001, 4000, toolZ, 0}));
}

}  // namespace
