// main() for tests of windows: one QApplication for the whole run. Under
// xvfb-run it uses the virtual display; without any display it falls back to
// Qt's offscreen platform, so the tests run anywhere.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Under an X server Qt brings up D-Bus, whose library keeps one buffer until
// the process ends; LeakSanitizer would report it in every window test. Weak,
// so a test program may still give its own list.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
