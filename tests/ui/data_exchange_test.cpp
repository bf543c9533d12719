// Data exchange: members to controls and back, for every kind of control.
#include "ui/data_exchange.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSlider>
#include <QString>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <stdexcept>
#include <string>

#include "sample_dialog.h"
#include "ui/dialog.h"
#include "ui/recording_message_box_service.h"

namespace {

using namespace sample;

// The members of a window, bound the way its constructor binds them.
struct Members {
    std::string position = "1.5";
    QString machine = "Roland MDX-40";
    int speed = 750;
    bool useFixtures = true;
    int spindle = 1;
    int fixture = 2;
    int goAxis = 3;
    int job = 1;
    int namedPosition = 2;
    int tab = 1;
    int feed = 150;
    int progress = 40;
    QString feedLabel = "150";

    void Bind(ui::Dialog& dialog) {
        ui::DataExchange& dx = dialog.Bindings();
        dx.Text(kPosition, position);
        dx.Text(kMachines, machine);
        dx.Int(kSpeed, speed);
        dx.Check(kUseFixtures, useFixtures);
        dx.Check(kSpindle, spindle);
        dx.Radio(kFixture1, kFixture4, fixture);
        dx.Radio(kGoX, kGoA, goAxis);
        dx.Selection(kRunList, job);
        dx.Selection(kPositions, namedPosition);
        dx.Selection(kTabs, tab);
        dx.Position(kFeed, feed);
        dx.Position(kProgress, progress);
        dx.Text(kFeedLabel, feedLabel);
    }
};

class DataExchangeTest : public ::testing::Test {
protected:
    DataExchangeTest() {
        for (const char* tab : {"Run", "Jog", "Setup"}) dialog.AddString(kTabs, tab);
        dialog.Control<QSlider>(kFeed)->setRange(0, 200);
        members.Bind(dialog);
    }

    std::shared_ptr<ui::RecordingMessageBoxService> boxes =
        std::make_shared<ui::RecordingMessageBoxService>();
    ui::ScopedMessageBoxService boxService{boxes};
    ui::Dialog dialog{Template()};
    Members members;
};

TEST_F(DataExchangeTest, MembersToControls) {
    ASSERT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(dialog.Text(kPosition), "1.5");
    EXPECT_EQ(dialog.Control<QComboBox>(kMachines)->currentText(), "Roland MDX-40");
    EXPECT_EQ(dialog.Text(kSpeed), "750");
    EXPECT_TRUE(dialog.IsChecked(kUseFixtures));
    EXPECT_TRUE(dialog.IsChecked(kSpindle));
    EXPECT_TRUE(dialog.IsChecked(kFixture1 + 2));
    EXPECT_TRUE(dialog.IsChecked(kGoA));
    EXPECT_FALSE(dialog.IsChecked(kGoX));
    EXPECT_EQ(dialog.Control<QListWidget>(kRunList)->currentRow(), 1);
    EXPECT_EQ(dialog.Control<QComboBox>(kPositions)->currentText(), "A Origin");
    EXPECT_EQ(dialog.Control<QTabWidget>(kTabs)->currentIndex(), 1);
    EXPECT_EQ(dialog.Control<QSlider>(kFeed)->value(), 150);
    EXPECT_EQ(dialog.Position(kProgress), 40);
    EXPECT_EQ(dialog.Text(kFeedLabel), "150");

    // Nothing selected, nothing checked.
    members.fixture = -1;
    members.job = -1;
    members.namedPosition = -1;
    members.useFixtures = false;
    members.spindle = 0;
    dialog.UpdateData(false);
    for (int id = kFixture1; id <= kFixture4; ++id) EXPECT_FALSE(dialog.IsChecked(id));
    EXPECT_EQ(dialog.Selection(kRunList), -1);
    EXPECT_TRUE(dialog.Control<QListWidget>(kRunList)->selectedItems().isEmpty());
    EXPECT_EQ(dialog.Selection(kPositions), -1);
    EXPECT_FALSE(dialog.IsChecked(kUseFixtures));
    EXPECT_FALSE(dialog.IsChecked(kSpindle));
}

TEST_F(DataExchangeTest, ControlsToMembers) {
    dialog.UpdateData(false);
    dialog.show();
    // What the operator does.
    auto* position = dialog.Control<QLineEdit>(kPosition);
    position->clear();
    QTest::keyClicks(position, "-20.25");
    auto* speed = dialog.Control<QLineEdit>(kSpeed);
    speed->clear();
    QTest::keyClicks(speed, " 3000 ");
    dialog.Control<QComboBox>(kMachines)->setEditText("Roland JWX-10");
    dialog.Control<QAbstractButton>(kUseFixtures)->click();
    dialog.Control<QAbstractButton>(kSpindle)->click();
    dialog.Control<QAbstractButton>(kFixture1)->click();
    dialog.Control<QAbstractButton>(kGoX + 1)->click();
    dialog.Control<QListWidget>(kRunList)->setCurrentRow(2);
    dialog.Control<QComboBox>(kPositions)->setCurrentIndex(0);
    dialog.Control<QTabWidget>(kTabs)->setCurrentIndex(2);
    dialog.Control<QSlider>(kFeed)->setValue(35);
    dialog.Control<QProgressBar>(kProgress)->setValue(99);
    dialog.SetText(kFeedLabel, "35");

    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(members.position, "-20.25");
    EXPECT_EQ(members.machine, "Roland JWX-10");
    EXPECT_EQ(members.speed, 3000);
    EXPECT_FALSE(members.useFixtures);
    EXPECT_EQ(members.spindle, 0);
    EXPECT_EQ(members.fixture, 0);
    EXPECT_EQ(members.goAxis, 1);
    EXPECT_EQ(members.job, 2);
    EXPECT_EQ(members.namedPosition, 0);
    EXPECT_EQ(members.tab, 2);
    EXPECT_EQ(members.feed, 35);
    EXPECT_EQ(members.progress, 99);
    EXPECT_EQ(members.feedLabel, "35");
    EXPECT_TRUE(boxes->Boxes().empty());
}

TEST_F(DataExchangeTest, TextThatIsNoIntegerStopsTheTransferWithABox) {
    dialog.UpdateData(false);
    dialog.SetText(kSpeed, "fast");
    dialog.SetText(kFeedLabel, "changed");
    members.position = "kept";

    EXPECT_FALSE(dialog.UpdateData(true));
    ASSERT_EQ(boxes->Boxes().size(), 1u);
    EXPECT_EQ(boxes->Boxes()[0].text, "Please enter an integer.");
    EXPECT_EQ(boxes->Boxes()[0].caption, "Tarnwick");
    EXPECT_EQ(members.speed, 750);
    // Bound before the speed: read; bound after it: not.
    EXPECT_EQ(members.position, "1.5");
    EXPECT_EQ(members.feedLabel, "150");

    // OnOK does not end a dialog with such a value.
    dialog.Control<QAbstractButton>(kClose)->click();
    EXPECT_EQ(boxes->Boxes().size(), 2u);
    EXPECT_NE(dialog.result(), ui::IDOK);
}

TEST_F(DataExchangeTest, BindingAnIdWithoutControlThrows) {
    int value = 0;
    EXPECT_THROW(dialog.Bindings().Int(4711, value), std::invalid_argument);
    EXPECT_THROW(dialog.Bindings().Radio(kGoX, kGoX + 10, value), std::invalid_argument);
}

}  // namespace
