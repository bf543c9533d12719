// Message boxes: one service for the windows and for the code below them.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <thread>
#include <vector>

#include "sample_dialog.h"
#include "ui/dialog.h"
#include "ui/message_box_service.h"
#include "ui/platform_message_box_route.h"
#include "ui/recording_message_box_service.h"
#include "ui_worker.h"

namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    std::shared_ptr<ui::RecordingMessageBoxService> boxes =
        std::make_shared<ui::RecordingMessageBoxService>();
    ui::ScopedMessageBoxService service{boxes};
};

TEST_F(MessageBoxTest, RecordsTextAndCaptionWithTheDefaultCaptionForNone) {
    ui::Dialog dialog(sample::Template());
    boxes->SetAnswer(ui::IDCANCEL);
    EXPECT_EQ(dialog.MessageBox("Can't run the Go cycle while the machine is busy!", "Error"),
              ui::IDCANCEL);
    ui::MessageBox(nullptr, std::string("Roland machine not found"));
    ASSERT_EQ(boxes->Boxes().size(), 2u);
    EXPECT_EQ(boxes->Boxes()[0].text, "Can't run the Go cycle while the machine is busy!");
    EXPECT_EQ(boxes->Boxes()[0].caption, "Error");
    EXPECT_EQ(boxes->Boxes()[1].text, "Roland machine not found");
    EXPECT_EQ(boxes->Boxes()[1].caption, platform::kDefaultMessageBoxCaption);
}

TEST_F(MessageBoxTest, CodeBelowTheWindowsShowsThroughTheServiceFromAnyThread) {
    ui::PlatformMessageBoxRoute route;
    platform::ShowMessageBox("Can't find the RDUPSLT.DLL file.");
    ASSERT_EQ(boxes->Boxes().size(), 1u);
    EXPECT_EQ(boxes->Boxes()[0].caption, "Tarnwick");
    EXPECT_TRUE(boxes->Boxes()[0].onUiThread);

    // A worker waits until its box has been answered on the UI thread.
    std::vector<size_t> shownWhenReturned;
    RunWorkerWhileUiRuns([&] {
        platform::ShowMessageBox("Machine is no longer available.", "Closing");
        shownWhenReturned.push_back(boxes->Boxes().size());
        platform::ShowMessageBox("Press the View button.", "Pause");
        shownWhenReturned.push_back(boxes->Boxes().size());
    });
    EXPECT_EQ(shownWhenReturned, (std::vector<size_t>{2, 3}));
    ASSERT_EQ(boxes->Boxes().size(), 3u);
    EXPECT_EQ(boxes->Boxes()[1].text, "Machine is no longer available.");
    EXPECT_EQ(boxes->Boxes()[1].caption, "Closing");
    EXPECT_TRUE(boxes->Boxes()[1].onUiThread);
    EXPECT_EQ(boxes->Boxes()[2].caption, "Pause");
}

TEST_F(MessageBoxTest, WorkerWaitingForABoxIsReleasedByGiveUp) {
    {
        ui::PlatformMessageBoxRoute route;
        // The UI thread is shutting down (here: in this test) and handles no
        // events while it joins the worker.
        std::thread worker([] { platform::ShowMessageBox("Closing", "Closing"); });
        route.GiveUp();
        worker.join();
        // Later boxes of threads are dropped; those of the UI thread still show.
        std::thread late([] { platform::ShowMessageBox("late"); });
        late.join();
        platform::ShowMessageBox("from the UI thread");
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes->Boxes().size(), 1u);
    EXPECT_EQ(boxes->Boxes()[0].text, "from the UI thread");
}

}  // namespace
