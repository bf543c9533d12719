// Trackbars act when the operator lets go, not while the slider moves.
#include "ui/trackbar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <vector>

#include "sample_dialog.h"
#include "ui/dialog.h"

namespace {

using sample::kFeed;

class TrackbarTest : public ::testing::Test {
protected:
    TrackbarTest() {
        dialog.OnTrackbarReleased(kFeed, [this] { released.push_back(dialog.Position(kFeed)); });
        dialog.show();
    }
    QSlider* Feed() { return dialog.Control<QSlider>(kFeed); }
    QPoint Middle(int x) { return QPoint(x, Feed()->height() / 2); }

    ui::Dialog dialog{sample::Template()};
    std::vector<int> released;
};

TEST_F(TrackbarTest, DragFiresOnceWithTheFinalPositionWhenReleased) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.SetPosition(kFeed, 0);  // the handle sits at the left end
    QTest::mousePress(Feed(), Qt::LeftButton, {}, Middle(2));
    ASSERT_TRUE(Feed()->isSliderDown());
    QTest::mouseMove(Feed(), Middle(Feed()->width() / 2));
    QTest::mouseMove(Feed(), Middle(Feed()->width() - 2));
    EXPECT_GT(Feed()->value(), 50);
    EXPECT_TRUE(released.empty());
    QTest::mouseRelease(Feed(), Qt::LeftButton, {}, Middle(Feed()->width() - 2));
    EXPECT_EQ(released, std::vector<int>{Feed()->value()});
}

TEST_F(TrackbarTest, ClickInTheGrooveFiresWhenReleased) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.SetPosition(kFeed, 50);
    QTest::mousePress(Feed(), Qt::LeftButton, {}, Middle(Feed()->width() - 2));
    EXPECT_GT(Feed()->value(), 50);
    EXPECT_TRUE(released.empty());
    QTest::mouseRelease(Feed(), Qt::LeftButton, {}, Middle(Feed()->width() - 2));
    EXPECT_EQ(released, std::vector<int>{Feed()->value()});
}

TEST_F(TrackbarTest, KeysFireWhenReleasedTheWheelAndTheProgramNever) {
    dialog.SetPosition(kFeed, 40);
    QTest::keyPress(Feed(), Qt::Key_Right);
    QTest::keyPress(Feed(), Qt::Key_Right);
    EXPECT_EQ(Feed()->value(), 42);
    EXPECT_TRUE(released.empty());
    QTest::keyRelease(Feed(), Qt::Key_Right);
    EXPECT_EQ(released, std::vector<int>{42});
    // A key that does not move it.
    QTest::keyClick(Feed(), Qt::Key_A);
    EXPECT_EQ(released.size(), 1u);

    QWheelEvent wheel(Middle(10), Feed()->mapToGlobal(Middle(10)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Feed(), &wheel);
    dialog.SetPosition(kFeed, 10);
    Feed()->setValue(20);
    EXPECT_EQ(Feed()->value(), 20);
    EXPECT_EQ(released.size(), 1u);
}

}  // namespace
