// The jog page on its own, with the main window's requests recorded: clicks
// and holds of the jog buttons on every axis, every way a hold ends, Go's
// speed, Move and Go while busy, and the axis radios.
// Mouse events go through the window system, as the operator's do, so that
// the application knows which buttons are down.
#define QTEST_QPA_MOUSE_HANDLING
#include "jobs/jog_page.h"

#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <filesystem>
#include <memory>
#include <vector>

#include "config/configuration.h"
#include "jobs/jog_button.h"
#include "jobs/jog_page_ids.h"
#include "link/machine_port.h"
#include "service/shared_state.h"
#include "ui/recording_message_box_service.h"

namespace {

struct Move {
    MachinePosition target;
    std::int32_t speed;
    bool operator==(const Move&) const = default;
};

void PrintTo(const Move& m, std::ostream* os) {
    *os << "(" << m.target.x << ", " << m.target.y << ", " << m.target.z << ", " << m.target.a
        << ") @" << m.speed;
}

constexpr MachinePosition kHere{1000, 2000, 3000, 4000};

class JogPageTest : public ::testing::Test {
protected:
    JogPageTest() {
        config.WriteMachineProfile(1);  // MDX-40: X and Y to 305 mm, Z to 105 mm
        CMachinePort unused;            // read only on a first run
        std::string model;
        config.LoadSettings(unused, model);
        state.lastPosition.Set(kHere);
        page = std::make_unique<CJogPage>(
            JogPageLinks{state, config,
                         [this](const MachinePosition& target, std::int32_t speed) {
                             moves.push_back({target, speed});
                             return true;
                         },
                         [this] { ++stops; }, [this] { return ++toolDetections > 0; }});
        page->InitDialog();
        page->resize(page->sizeHint().expandedTo({420, 360}));
        page->show();
        EXPECT_TRUE(Activate(*page));
    }
    ~JogPageTest() override {
        page.reset();
        std::filesystem::remove_all(folder);
    }
    void Click(int id) { page->Control<QAbstractButton>(id)->click(); }
    // No window manager runs on the test display: windows are activated by hand.
    static bool Activate(QWidget& window) {
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    void Press(CJogButton& button) {
        QTest::mousePress(&button, Qt::LeftButton, {}, button.rect().center());
    }
    void Release(CJogButton& button) {
        QTest::mouseRelease(&button, Qt::LeftButton, {}, button.rect().center());
    }
    // Pressed for longer than the hold threshold.
    void Hold(CJogButton& button) {
        Press(button);
        QTest::qWait(CJogButton::kHoldThresholdMs + 100);
    }

    std::string folder = [] {
        char pattern[] = "/tmp/tarnwick-jog-XXXXXX";
        return std::string(mkdtemp(pattern)) + "/";
    }();
    Configuration config{folder};
    SharedState state;
    std::vector<Move> moves;
    int stops = 0;
    int toolDetections = 0;
    std::shared_ptr<ui::RecordingMessageBoxService> boxes =
        std::make_shared<ui::RecordingMessageBoxService>();
    ui::ScopedMessageBoxService installed{boxes};
    std::unique_ptr<CJogPage> page;
};

TEST_F(JogPageTest, AClickMovesOneCountAndAHoldTravelsToTheEndUntilReleased) {
    struct Case {
        int axis;   // 0 X .. 3 A
        bool plus;  // the positive button
        int speed;  // the jog speed radio, 0 Fast .. 3 Very Slow
        MachinePosition click, hold;
        std::int32_t holdSpeed;
    };
    const Case cases[] = {
        {0, true, 0, {1001, 2000, 3000, 4000}, {30500, 2000, 3000, 4000}, 2000},
        {0, false, 1, {999, 2000, 3000, 4000}, {0, 2000, 3000, 4000}, 1000},
        {1, true, 2, {1000, 2001, 3000, 4000}, {1000, 30500, 3000, 4000}, 100},
        {1, false, 3, {1000, 1999, 3000, 4000}, {1000, 0, 3000, 4000}, 10},
        {2, true, 0, {1000, 2000, 3001, 4000}, {1000, 2000, 10500, 4000}, 2000},
        {2, false, 1, {1000, 2000, 2999, 4000}, {1000, 2000, 0, 4000}, 1000},
        {3, true, 2, {1000, 2000, 3000, 4001}, {1000, 2000, 3000, 360000}, 100},
        {3, false, 3, {1000, 2000, 3000, 3999}, {1000, 2000, 3000, -360000}, 10},
    };
    for (const Case& c : cases) {
        moves.clear();
        stops = 0;
        Click(IDC_JOG_AXIS_X + c.axis);
        Click(IDC_JOG_FAST + c.speed);
        CJogButton& button = c.plus ? page->PlusButton() : page->MinusButton();
        Press(button);
        Release(button);
        EXPECT_THAT(moves, ::testing::ElementsAre(Move{c.click, CJogPage::kStepSpeed}))
            << "click, axis " << c.axis;
        EXPECT_EQ(stops, 0);
        Hold(button);
        EXPECT_TRUE(button.Held());
        EXPECT_EQ(stops, 0);
        Release(button);
        EXPECT_THAT(moves, ::testing::ElementsAre(Move{c.click, CJogPage::kStepSpeed},
                                                  Move{c.hold, c.holdSpeed}))
            << "hold, axis " << c.axis;
        EXPECT_EQ(stops, 1) << "axis " << c.axis;
    }
}

TEST_F(JogPageTest, AHoldStopsAsSoonAsItsReleaseCanNoLongerCome) {
    CJogButton& plus = page->PlusButton();
    auto* edit = page->Control<QLineEdit>(IDC_GO_SPEED);
    // A press that ends before the threshold is no jog at all: nothing moves.
    plus.setFocus();  // as a click on a real screen gives it
    Press(plus);
    edit->setFocus();
    QTest::qWait(CJogButton::kHoldThresholdMs + 100);
    Release(plus);
    EXPECT_TRUE(moves.empty());
    EXPECT_EQ(stops, 0);

    struct Case {
        const char* name;
        std::function<void()> end;
    };
    const Case cases[] = {
        {"focus taken", [&] { edit->setFocus(); }},
        {"page hidden",
         [&] {
             page->hide();
             page->show();
         }},
        {"window deactivated",
         [&] {
             QEvent deactivated(QEvent::WindowDeactivate);
             QApplication::sendEvent(page.get(), &deactivated);
         }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Activate(*page)) << c.name;
        plus.setFocus();
        stops = 0;
        Hold(plus);
        ASSERT_TRUE(plus.Held()) << c.name;
        c.end();
        if (stops == 0) QTest::qWait(150);  // the watch over the left button
        EXPECT_EQ(stops, 1) << c.name;
        Release(plus);  // the operator's finger comes up at last: nothing more happens
        EXPECT_EQ(stops, 1) << c.name << ": stopped once";
    }
    // The left button up although no release reached the jog button (a popup
    // took it): the press below reaches the button, not the application.
    stops = 0;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(plus.rect().center()),
                      QPointF(plus.mapToGlobal(plus.rect().center())), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(&plus, &press);
    QTest::qWait(CJogButton::kHoldThresholdMs + 150);
    EXPECT_TRUE(plus.Held());
    EXPECT_EQ(stops, 1) << "the button was found up";
    // A hold still running when the page goes stops too.
    stops = 0;
    Hold(plus);
    page.reset();
    EXPECT_EQ(stops, 1);
}

TEST_F(JogPageTest, GoMoveSpindleAndTheAxisRadios) {
    struct Case {
        const char* typed;
        const char* shown;
        int speed;
    };
    for (const Case& c : {Case{"5000", "3000", 3000}, Case{"-5", "1", 1}, Case{"letters", "1", 1},
                          Case{"12.7", "12.7", 12}, Case{"500", "500", 500}}) {
        state.EndCycle();
        page->SetText(IDC_GO_SPEED, c.typed);
        page->SetText(IDC_POSITION_EDIT, "25.5");
        Click(IDC_GO_X + 2);
        Click(IDC_GO);
        EXPECT_EQ(page->Text(IDC_GO_SPEED).toStdString(), c.shown) << c.typed;
        EXPECT_EQ(state.goSpeed.load(), c.speed) << c.typed;
        EXPECT_EQ(state.cycleCode.load(), kExecuteCycle);
    }
    EXPECT_EQ(state.goAxis.load(), 2);
    EXPECT_EQ(state.positionEditText.Get(), "25.5");

    // Busy: Move and Go say so and request nothing.
    state.SetCycle(kReplaceToolCycle, 0);
    page->SetSelection(IDC_POSITION_LIST, 3);
    Click(IDC_MOVE);
    Click(IDC_GO);
    EXPECT_EQ(state.moveSelection.load(), 3);
    EXPECT_EQ(state.cycleCode.load(), kReplaceToolCycle);
    ASSERT_EQ(boxes->Boxes().size(), 2u);
    EXPECT_EQ(boxes->Boxes()[0].text, "Can't run the Go cycle while the machine is busy!");
    EXPECT_EQ(boxes->Boxes()[1].text, "Can't run the Execute cycle while the machine is busy!");
    EXPECT_EQ(boxes->Boxes()[1].caption, "Error");
    state.EndCycle();
    Click(IDC_MOVE);
    EXPECT_EQ(state.cycleCode.load(), kMoveCycle);

    // The spindle needs no free machine.
    Click(IDC_SPINDLE);
    EXPECT_EQ(state.spindleSwitch.load(), 1);
    EXPECT_EQ(state.cycleCode.load(), kSpindleCycle);
    Click(IDC_SET_TOOL_HEIGHT);
    EXPECT_EQ(toolDetections, 1);

    const char* labels[4][2] = {
        {"Right +", "Left -"}, {"Front +", "Back -"}, {"Up +", "Down -"}, {"CCW +", "CW -"}};
    for (int axis : {3, 1, 2, 0}) {
        Click(IDC_JOG_AXIS_X + axis);
        EXPECT_EQ(page->PlusButton().text(), labels[axis][0]);
        EXPECT_EQ(page->MinusButton().text(), labels[axis][1]);
    }
    EXPECT_EQ(page->PlusButton().CaptionColor(), QColor(100, 175, 100));
    EXPECT_EQ(page->MinusButton().CaptionColor(), QColor(255, 0, 0));
}

}  // namespace
