// The jog page in the main window, on the simulated machine at real speed:
// a click moves one count, a hold at every jog speed stops where it is let go,
// well short of the end of the axis, and a hold still running when the
// program closes stops the machine too.
#define QTEST_QPA_MOUSE_HANDLING
#include <gmock/gmock.h>

#include <QDir>
#include <QProcess>
#include <QTabWidget>
#include <QTest>

#include "app/app_fixture.h"
#include "app/main_window_ids.h"
#include "jobs/jog_button.h"
#include "jobs/jog_page.h"
#include "jobs/jog_page_ids.h"
#include "jobs/page_tab_ctrl.h"

namespace {

constexpr const char* kModel = "Roland JWX-10";

class JogOnMachineTest : public MainWindowTest {
protected:
    void SetUp() override {
        UseDriver(Driver::Simulated);
        Start();
        Panel(kModel, "speed 1");
        window->Control<QTabWidget>(IDC_TABS)->setCurrentIndex(1);
        page = &window->Pages()->JogPage();
        // No window manager runs on the test display: the window is activated by hand.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // The machine's X, as the simulator itself tells it.
    int MachineX() {
        const auto found = AxesIn(Sim(kModel, "status"), "position:\\s+");
        return found.empty() ? -1 : found.front().x;
    }
    // Waits for the machine to come to rest after a stop (its memory clears
    // in machine time, which runs fast meanwhile).
    void WaitUntilIdle() {
        Panel(kModel, "speed 200");
        ASSERT_TRUE(WaitUntil([&] {
            SharedState& state = window->State();
            return state.lastStatus.load() == 2 && state.cycleCode.load() == kNoCycle;
        }));
        Panel(kModel, "speed 1");
    }
    void Hold(CJogButton& button, int ms) {
        QTest::mousePress(&button, Qt::LeftButton, {}, button.rect().center());
        QTest::qWait(ms);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, button.rect().center());
    }

    CJogPage* page = nullptr;
};

TEST_F(JogOnMachineTest, AClickMovesOneCountAndEveryHoldStopsWhereItIsLetGo) {
    CJogButton& plus = page->PlusButton();
    ASSERT_TRUE(WaitUntil([&] { return MachineX() == 0; }));
    QTest::mouseClick(&plus, Qt::LeftButton, {}, plus.rect().center());
    ASSERT_TRUE(WaitUntil([&] { return MachineX() == 1; }));
    // No stop followed: the machine would be clearing its memory for seconds.
    ASSERT_TRUE(WaitUntil([&] { return window->State().cycleCode.load() == kNoCycle; }));
    QTest::qWait(300);
    EXPECT_EQ(window->State().lastStatus.load(), 2);

    const int limit = config->Profile().xLimit;
    for (int speed = 0; speed < 4; ++speed) {
        page->Control<QAbstractButton>(IDC_JOG_FAST + speed)->click();
        const int before = MachineX();
        Hold(plus, 600);
        WaitUntilIdle();
        const int stopped = MachineX();
        QTest::qWait(200);
        EXPECT_EQ(MachineX(), stopped) << "speed " << speed;
        EXPECT_LT(stopped, limit / 2) << "speed " << speed;
        if (speed < 2) {
            EXPECT_GT(stopped, before + 100) << "speed " << speed;
        }
        // The position display follows the machine.
        EXPECT_TRUE(
            WaitUntil([&] { return Shown(IDC_POS_X) == QString::number(stopped * 0.01, 'f', 2); }));
    }
    QDir().mkpath(TARNWICK_TEST_BIN "/screenshots");
    EXPECT_TRUE(window->grab().save(TARNWICK_TEST_BIN "/screenshots/jog_page.png"));
}

TEST_F(JogOnMachineTest, AHoldStillRunningWhenTheProgramClosesStopsTheMachine) {
    CJogButton& plus = page->PlusButton();
    page->Control<QAbstractButton>(IDC_JOG_FAST)->click();
    QTest::mousePress(&plus, Qt::LeftButton, {}, plus.rect().center());
    ASSERT_TRUE(WaitUntil([&] { return MachineX() > 500; }));
    window->hide();
    window->OnDestroy();
    const int stopped = MachineX();
    ASSERT_GT(stopped, 500);  // the machine, which outlives the window here, answers
    QTest::qWait(300);
    EXPECT_EQ(MachineX(), stopped);
    EXPECT_LT(stopped, config->Profile().xLimit / 2);
    window.reset();
}

}  // namespace
