// Data exchange: members to controls and back, for every kind of control.
#include "ui/data_exchange.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QString>
#include <QTest>
#include <memory>
#include <stdexcept>
#include <string>

#include "sample_dialog.h"
#include "ui/dialog.h"
#include "ui/recording_message_box_service.h"
#include "ui/typed_number.h"

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

    bool operator==(const Members&) const = default;

    // Every value different from the ones above: nothing selected or checked.
    static Members Nothing() { return {"", "", 0, false, 0, -1, -1, -1, -1, 0, 0, 0, ""}; }

    void Bind(ui::DataExchange& dx) {
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
        members.Bind(dialog.Bindings());
    }

    std::shared_ptr<ui::RecordingMessageBoxService> boxes =
        std::make_shared<ui::RecordingMessageBoxService>();
    ui::ScopedMessageBoxService boxService{boxes};
    ui::Dialog dialog{Template()};
    Members members;
};

TEST_F(DataExchangeTest, EveryKindTravelsToTheControlsAndBack) {
    ASSERT_TRUE(dialog.UpdateData(false));
    // The controls show the values, not just hold them.
    EXPECT_EQ(dialog.Control<QComboBox>(kMachines)->currentText(), "Roland MDX-40");
    EXPECT_TRUE(dialog.IsChecked(kFixture1 + 2));
    EXPECT_TRUE(dialog.IsChecked(kGoA));
    EXPECT_FALSE(dialog.IsChecked(kGoX));
    EXPECT_EQ(dialog.Text(kRunList), "b.nc");
    EXPECT_EQ(dialog.Text(kPositions), "A Origin");
    EXPECT_EQ(dialog.Text(kSpeed), "750");

    for (const Members& values : {Members(), Members::Nothing()}) {
        members = values;
        ASSERT_TRUE(dialog.UpdateData(false));
        members = values == Members() ? Members::Nothing() : Members();
        ASSERT_TRUE(dialog.UpdateData(true));
        EXPECT_EQ(members, values);
    }
    for (int id = kFixture1; id <= kFixture4; ++id) EXPECT_FALSE(dialog.IsChecked(id));
}

TEST_F(DataExchangeTest, WhatTheOperatorDidReachesTheMembers) {
    dialog.UpdateData(false);
    dialog.show();
    auto* speed = dialog.Control<QLineEdit>(kSpeed);
    speed->clear();
    QTest::keyClicks(speed, " 3000 ");
    QTest::keyClicks(dialog.Control<QComboBox>(kMachines)->lineEdit(), " 2");
    dialog.Control<QAbstractButton>(kUseFixtures)->click();
    dialog.Control<QAbstractButton>(kFixture1)->click();
    QTest::keyClick(dialog.Control(kPositions), Qt::Key_Down);
    QTest::keyClick(dialog.Control(kFeed), Qt::Key_PageUp);

    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(members.speed, 3000);
    EXPECT_EQ(members.machine, "Roland MDX-40 2");
    EXPECT_FALSE(members.useFixtures);
    EXPECT_EQ(members.fixture, 0);
    EXPECT_EQ(members.namedPosition, 3);
    EXPECT_EQ(members.feed, 160);
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

    int value = 0;
    EXPECT_THROW(dialog.Bindings().Int(4711, value), std::invalid_argument);
    EXPECT_THROW(dialog.Bindings().Radio(kGoX, kGoX + 10, value), std::invalid_argument);
}

TEST(TypedNumber, ReadsLikeCAtol) {
    struct Case {
        const char* text;
        std::int32_t value;
        std::int16_t low16;
    };
    for (const Case& c :
         {Case{"500", 500, 500}, Case{"  -5", -5, -5}, Case{"+7mm", 7, 7}, Case{"12.7", 12, 12},
          Case{"letters", 0, 0}, Case{"", 0, 0}, Case{"- 3", 0, 0}, Case{"\t42", 42, 42},
          Case{"65537", 65537, 1}, Case{"40000", 40000, -25536}, Case{"4294967297", 1, 1}}) {
        EXPECT_EQ(ui::ReadTypedInteger(c.text), c.value) << c.text;
        EXPECT_EQ(ui::ReadTypedInt16(c.text), c.low16) << c.text;
    }
}

}  // namespace
