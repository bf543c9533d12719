// Saves a picture of the sample dialog for a person to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QSlider>
#include <QTest>

#include "sample_dialog.h"
#include "ui/dialog.h"

namespace {

using namespace sample;

TEST(ScreenshotTest, SampleDialog) {
    ui::Dialog dialog(Template());
    for (const char* tab : {"Run", "Jog", "Setup"}) dialog.AddString(kTabs, tab);
    dialog.Control<QSlider>(kFeed)->setRange(0, 200);
    dialog.SetPosition(kFeed, 150);
    dialog.SetText(kFeedLabel, "150");
    dialog.SetPosition(kProgress, 40);
    dialog.SetCheck(kFixture1 + 1, true);
    dialog.SetCheck(kUseFixtures, true);
    dialog.SetCheck(kGoX, true);
    dialog.SetSelection(kPositions, 0);
    dialog.SetSelection(kRunList, 1);
    dialog.SetText(kPosition, "12.50");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    const QString folder = QStringLiteral(TARNWICK_TEST_BIN "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QImage image = dialog.grab().toImage();
    EXPECT_EQ(image.size(), dialog.size() * dialog.devicePixelRatio());
    EXPECT_TRUE(image.save(folder + "/ui_sample_dialog.png"));
}

}  // namespace
