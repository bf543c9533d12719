// The run list's toolpaths, read on the library's own thread.
#include "jobs/toolpath_library.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <filesystem>
#include <fstream>

namespace {

std::string Example(const char* name) { return std::string(TARNWICK_EXAMPLES_DIR) + "/" + name; }

bool WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

TEST(ToolpathLibrary, ReadsOnceTellsTheWindowAndForgetsWhatLeavesTheList) {
    CToolpathLibrary library;
    QSignalSpy read(&library, &CToolpathLibrary::Read);
    const std::string engraving = Example("engraving.rml"), pocket = Example("pocket.rml");
    const std::string missing = ::testing::TempDir() + "no-such-job.rml";
    for (const auto& path : {engraving, pocket, missing, engraving}) library.Want(path, {});
    EXPECT_FALSE(library.SecondsLeft({engraving, pocket}, 0, 100));  // still reading
    ASSERT_TRUE(WaitUntil([&] { return read.count() == 3; }));
    EXPECT_FALSE(library.IsReadingAny());
    EXPECT_FALSE(library.Find(missing));
    const auto whole = library.SecondsLeft({engraving, pocket, missing}, 0, 100);
    ASSERT_TRUE(whole);
    EXPECT_NEAR(*whole, library.Find(engraving)->Seconds() + library.Find(pocket)->Seconds(), 1e-6);
    // Commands done count on across the files; at half the feed it takes twice as long.
    EXPECT_NEAR(*library.SecondsLeft({engraving, pocket}, 128, 50),
                2 * library.Find(pocket)->Seconds(), 1e-6);
    EXPECT_FALSE(library.SecondsLeft({engraving}, 0, 0));

    library.Want(engraving, {});  // unchanged: not read again
    EXPECT_FALSE(library.IsReading(engraving));
    library.KeepOnly({pocket});
    EXPECT_FALSE(library.Find(engraving));
    EXPECT_TRUE(library.Find(pocket));
}

// The reading thread is stopped and joined mid-file (under ThreadSanitizer and
// AddressSanitizer: nothing it uses is gone before it ends).
TEST(ToolpathLibrary, GoesAwayWhileAFileIsRead) {
    const std::string big = ::testing::TempDir() + "big-job.rml";
    {
        std::ofstream out(big);
        for (int i = 0; i < 400000; ++i) out << "PD" << i % 1000 << "," << i % 777 << ";\n";
    }
    {
        CToolpathLibrary library;
        library.Want(big, {});
        library.Want(Example("pocket.rml"), {});
    }
    std::filesystem::remove(big);
}

}  // namespace
