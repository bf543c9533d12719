// Dialogs built from templates: controls by id, handlers by id, modal runs.
#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <stdexcept>
#include <string>
#include <vector>

#include "sample_dialog.h"
#include "ui/dialog_units.h"

namespace {

using namespace sample;

// A drawn label of the kind windows put in place of a static.
class DrawnLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit DrawnLabel(int marker) : marker(marker) {}
    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    const int marker;

private:
    QString m_text;
};

class RoundButton : public QPushButton {
    Q_OBJECT
};

// Runs `action` once the modal loop of RunModal is running.
void InsideModalLoop(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

TEST(DialogTest, BuildsEveryControlOfTheTemplate) {
    ui::Dialog dialog(Template());
    EXPECT_EQ(dialog.TemplateId(), 142);
    EXPECT_EQ(dialog.windowTitle(), "Sample");
    EXPECT_EQ(dialog.Text(kAxisLabel), "X");
    EXPECT_EQ(dialog.Text(kSpeed), "500");
    EXPECT_EQ(dialog.Text(kClose), "Close");
    EXPECT_TRUE(dialog.Control<QPushButton>(kClose)->isDefault());
    EXPECT_FALSE(dialog.Control<QPushButton>(kStop)->isDefault());
    ASSERT_NE(dialog.Control<QPushButton>(kSpindle), nullptr);  // push-like check box
    EXPECT_TRUE(dialog.Control<QPushButton>(kSpindle)->isCheckable());
    EXPECT_EQ(dialog.Control<QSlider>(kFeed)->maximum(), 100);

    // Items arrive in template order with nothing selected; a sorted box
    // sorts them, also those added later.
    EXPECT_EQ(dialog.Selection(kPositions), -1);
    EXPECT_EQ(dialog.Control<QComboBox>(kPositions)->itemText(3), "View Pos.");
    EXPECT_EQ(dialog.Control<QComboBox>(kMachines)->itemText(0), "Roland JWX-10");
    EXPECT_EQ(dialog.AddString(kMachines, "Roland A"), 0);
    EXPECT_EQ(dialog.AddString(kPositions, "Aux. Loc. 1"), 4);
    EXPECT_EQ(dialog.Selection(kMachines), -1);

    EXPECT_FALSE(dialog.IsShown(kToolLabel));
    EXPECT_TRUE(dialog.IsShown(kAxisLabel));
    EXPECT_FALSE(dialog.IsEnabled(kSetUp));
    EXPECT_TRUE(dialog.IsEnabled(kStop));
    dialog.Show(kToolLabel);
    dialog.Enable(kSetUp);
    EXPECT_TRUE(dialog.IsShown(kToolLabel));
    EXPECT_TRUE(dialog.IsEnabled(kSetUp));

    EXPECT_EQ(dialog.Control(ui::IDC_STATIC), nullptr);
    EXPECT_EQ(dialog.Control(4711), nullptr);
    EXPECT_THROW(dialog.Text(4711), std::invalid_argument);
}

TEST(DialogTest, PlacesControlsInDialogUnitsOfItsFont) {
    // 399 x 256 units with base units 6 x 13: x rounds 598.5 up, y is exact.
    const ui::DialogUnits fixed(6, 13);
    EXPECT_EQ(fixed.ToPixels(QSize(399, 256)), QSize(599, 416));
    EXPECT_EQ(fixed.ToPixels(QRect(7, 5, 140, 50)), QRect(11, 8, 210, 81));

    ui::Dialog dialog(Template());
    const ui::DialogUnits units(dialog.font());
    EXPECT_GT(units.BaseWidth(), 0);
    EXPECT_GT(units.BaseHeight(), units.BaseWidth());
    EXPECT_EQ(dialog.size(), units.ToPixels(QSize(300, 200)));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());  // fixed size
    EXPECT_EQ(dialog.Control(kPosition)->geometry(), units.ToPixels(QRect(148, 60, 50, 14)));
    // A combo box is one line high; its template height is for the list.
    const QRect combo = dialog.Control(kPositions)->geometry();
    EXPECT_EQ(combo.topLeft(), units.ToPixels(QRect(115, 80, 80, 60)).topLeft());
    EXPECT_LT(combo.height(), units.ToPixelsY(60));

    // A bigger font makes a bigger dialog.
    ui::DialogTemplate large = Template();
    large.fontPointSize = 16;
    EXPECT_GT(ui::Dialog(large).width(), dialog.width());
}

TEST(DialogTest, ControlEventsRunTheHandlersBoundToTheirIds) {
    ui::Dialog dialog(Template());
    dialog.show();
    std::vector<std::string> events;
    dialog.OnClicked(kStop, [&] { events.push_back("stop clicked"); });
    dialog.OnPressed(kStop, [&] { events.push_back("stop pressed"); });
    dialog.OnReleased(kStop, [&] { events.push_back("stop released"); });
    dialog.OnClicked(kFixture1, [&] { events.push_back("fixture 1"); });
    dialog.OnClicked(kSpindle, [&] { events.push_back("spindle"); });

    QWidget* stop = dialog.Control(kStop);
    QTest::mousePress(stop, Qt::LeftButton);
    EXPECT_EQ(events, std::vector<std::string>{"stop pressed"});
    QTest::mouseRelease(stop, Qt::LeftButton);
    EXPECT_EQ(events, (std::vector<std::string>{"stop pressed", "stop released", "stop clicked"}));

    events.clear();
    dialog.Control<QAbstractButton>(kGoX + 1)->click();
    dialog.Control<QAbstractButton>(kFixture1)->click();
    dialog.Control<QAbstractButton>(kFixture1)->click();  // already checked: clicked again
    dialog.Control<QAbstractButton>(kSpindle)->click();
    EXPECT_EQ(events, (std::vector<std::string>{"fixture 1", "fixture 1", "spindle"}));
    EXPECT_TRUE(dialog.IsChecked(kSpindle));
    // Each radio group excludes only within itself.
    EXPECT_TRUE(dialog.IsChecked(kFixture1));
    EXPECT_TRUE(dialog.IsChecked(kGoX + 1));
    dialog.Control<QAbstractButton>(kFixture1 + 2)->click();
    EXPECT_FALSE(dialog.IsChecked(kFixture1));
    EXPECT_TRUE(dialog.IsChecked(kGoX + 1));

    // Binding again replaces the handler; a disabled button does nothing.
    events.clear();
    dialog.OnClicked(kStop, [&] { events.push_back("stop again"); });
    dialog.Control<QAbstractButton>(kStop)->click();
    dialog.Enable(kStop, false);
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_EQ(events, (std::vector<std::string>{"stop pressed", "stop released", "stop again"}));
}

TEST(DialogTest, SelectionChangesOfTheOperatorOnlyRunTheirHandlers) {
    ui::Dialog dialog(Template());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    int positions = 0;
    int runList = 0;
    int tabs = 0;
    int opened = 0;
    dialog.OnSelectionChanged(kPositions, [&] { ++positions; });
    dialog.OnSelectionChanged(kRunList, [&] { ++runList; });
    dialog.OnSelectionChanged(kTabs, [&] { ++tabs; });
    dialog.OnDoubleClicked(kRunList, [&] { ++opened; });

    // The program's own writes.
    for (const char* tab : {"Run", "Jog", "Setup"}) dialog.AddString(kTabs, tab);
    dialog.SetSelection(kPositions, 1);
    dialog.SetSelection(kRunList, 1);
    dialog.SetSelection(kTabs, 2);
    dialog.AddString(kRunList, "0.prn");
    int index = 0;
    dialog.Bindings().Selection(kRunList, index);
    dialog.UpdateData(false);
    EXPECT_EQ(positions + runList + tabs, 0);

    // The operator's.
    QTest::keyClick(dialog.Control(kPositions), Qt::Key_Down);
    EXPECT_EQ(dialog.Selection(kPositions), 2);
    auto* list = dialog.Control<QListWidget>(kRunList);
    const QPoint third = list->visualItemRect(list->item(2)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third);
    EXPECT_EQ(dialog.Selection(kRunList), 2);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third);
    QTest::keyClick(dialog.Control(kTabs)->findChild<QTabBar*>(), Qt::Key_Left);
    EXPECT_EQ(dialog.Selection(kTabs), 1);
    EXPECT_EQ(positions, 1);
    EXPECT_EQ(runList, 1);
    EXPECT_EQ(tabs, 1);
    EXPECT_EQ(opened, 1);
}

TEST(DialogTest, ReplacedControlKeepsPlaceIdStateAndBindings) {
    ui::Dialog dialog(Template());
    int stops = 0;
    dialog.OnClicked(kStop, [&] { ++stops; });
    std::string value = "12.34";
    dialog.Bindings().Text(kAxisValue, value);
    const QRect valueRect = dialog.Control(kAxisValue)->geometry();
    const QPointer<QWidget> old = dialog.Control(kAxisValue);

    DrawnLabel* label = dialog.ReplaceControl<DrawnLabel>(kAxisValue, 7);
    EXPECT_EQ(dialog.Control(kAxisValue), label);
    EXPECT_EQ(label->marker, 7);
    EXPECT_EQ(label->parentWidget(), &dialog);
    EXPECT_EQ(label->geometry(), valueRect);
    EXPECT_EQ(label->text(), "0.00");
    dialog.UpdateData(false);
    EXPECT_EQ(label->text(), "12.34");
    dialog.SetText(kAxisValue, std::string("-1.00"));
    EXPECT_EQ(label->text(), "-1.00");
    EXPECT_TRUE(old.isNull());

    EXPECT_FALSE(dialog.ReplaceControl<DrawnLabel>(kToolLabel, 0)->isVisibleTo(&dialog));
    auto* round = dialog.ReplaceControl<RoundButton>(kStop);
    round->click();
    EXPECT_EQ(stops, 1);
    EXPECT_THROW(dialog.ReplaceControl<DrawnLabel>(4711, 0), std::invalid_argument);
}

TEST(DialogTest, ModalRunReturnsTheResultItsHandlerEndsWith) {
    ui::Dialog dialog(Template());
    dialog.OnClicked(kStop, [&] { dialog.EndDialog(7); });
    InsideModalLoop([&] { dialog.Control<QAbstractButton>(kStop)->click(); });
    EXPECT_EQ(dialog.RunModal(), 7);

    // The command thread ends the window with -1.
    InsideModalLoop([&] { dialog.EndDialog(-1); });
    EXPECT_EQ(dialog.RunModal(), -1);
}

TEST(DialogTest, EscapeAndTheCloseBoxCancelEnterPressesTheDefaultButton) {
    std::string position;
    ui::Dialog dialog(Template());
    dialog.Bindings().Text(kPosition, position);

    InsideModalLoop([&] { QTest::keyClick(dialog.Control(kPosition), Qt::Key_Escape); });
    EXPECT_EQ(dialog.RunModal(), ui::IDCANCEL);
    InsideModalLoop([&] { dialog.close(); });
    EXPECT_EQ(dialog.RunModal(), ui::IDCANCEL);

    // "Close" is the default button, with id IDOK: OnOK reads the controls.
    InsideModalLoop([&] {
        QTest::keyClicks(dialog.Control(kPosition), "12.5");
        QTest::keyClick(dialog.Control(kPosition), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.RunModal(), ui::IDOK);
    EXPECT_EQ(position, "12.5");
}

class GuardedDialog : public ui::Dialog {
public:
    GuardedDialog() : Dialog(sample::Template()) {}
    int cancels = 0;
    int initialisations = 0;
    int endWhileInitialising = 0;

protected:
    void OnInitDialog() override {
        ++initialisations;
        Dialog::OnInitDialog();
        if (endWhileInitialising != 0) EndDialog(endWhileInitialising);
    }
    void OnCancel() override { ++cancels; }
};

TEST(DialogTest, OverridesDecideOnCancelAndInitialisation) {
    GuardedDialog dialog;
    dialog.OnClicked(kStop, [&] { dialog.EndDialog(5); });
    InsideModalLoop([&] {
        QTest::keyClick(dialog.Control(kPosition), Qt::Key_Escape);
        dialog.close();
        // Still running: the window refused both.
        EXPECT_TRUE(dialog.isVisible());
        dialog.Control<QAbstractButton>(kStop)->click();
    });
    EXPECT_EQ(dialog.RunModal(), 5);
    EXPECT_EQ(dialog.cancels, 2);
    EXPECT_EQ(dialog.initialisations, 1);

    // Ending while initialising returns at once, without a modal loop.
    GuardedDialog failing;
    failing.endWhileInitialising = -1;
    EXPECT_EQ(failing.RunModal(), -1);
    EXPECT_FALSE(failing.isVisible());
}

TEST(DialogTest, PageLeavesEscapeAndEnterToItsWindow) {
    ui::Dialog window(Template());
    ui::DialogTemplate pageTemplate;
    pageTemplate.width = 100;
    pageTemplate.height = 40;
    pageTemplate.flags = ui::kChild;
    pageTemplate.controls.push_back(
        {1019, ui::ControlKind::Edit, "", 5, 5, 60, 14, true, true, 0, {}});
    ui::Dialog page(pageTemplate, window.Control(kTabs));
    EXPECT_FALSE(page.isWindow());
    page.show();

    InsideModalLoop([&] { QTest::keyClick(page.Control(1019), Qt::Key_Escape); });
    EXPECT_EQ(window.RunModal(), ui::IDCANCEL);
    InsideModalLoop([&] { QTest::keyClick(page.Control(1019), Qt::Key_Return); });
    EXPECT_EQ(window.RunModal(), ui::IDOK);
}

}  // namespace

#include "dialog_test.moc"
