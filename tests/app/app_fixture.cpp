#include "app/app_fixture.h"

#include <stdlib.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <filesystem>

#include "platform/profile_file.h"
#include "platform/program_folder.h"

AppTest::AppTest() {
    char pattern[] = "/tmp/tarnwick-app-XXXXXX";
    folder = std::string(mkdtemp(pattern)) + "/";
    platform::SetProgramFolder(folder);
}

AppTest::~AppTest() {
    platform::SetProgramFolder("");
    std::filesystem::remove_all(folder);
}

void AppTest::UseDriver(Driver driver) {
    const std::string target = folder + "RDUPSLT.DLL";
    std::filesystem::remove(target);
    if (driver == Driver::Simulated)
        std::filesystem::create_symlink(TARNWICK_PROGRAM_DIR "/RDUPSLT.DLL", target);
    if (driver == Driver::Recording)
        std::filesystem::create_symlink(RECORDING_DRIVER_DIR "/RDUPSLT.DLL", target);
#ifdef USB_DRIVER_DIR
    if (driver == Driver::Usb)
        std::filesystem::create_symlink(USB_DRIVER_DIR "/RDUPSLT.DLL", target);
#endif
}

void AppTest::WriteConfig(const std::string& section, const std::string& key,
                          const std::string& value) {
    platform::WriteProfileString(section, key, value, folder + "Tarnwick.cfg");
}

std::string AppTest::ReadConfig(const std::string& section, const std::string& key) {
    return platform::ReadProfileString(section, key, "<missing>", folder + "Tarnwick.cfg");
}

std::vector<std::string> AppTest::Boxes() const {
    std::vector<std::string> texts;
    for (const auto& box : boxes->Boxes())
        texts.push_back((box.caption + ": " + box.text).toStdString());
    return texts;
}

bool AppTest::WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

std::string AppTest::Sim(const std::string& model, const std::string& command) {
    QStringList arguments = {QString::fromStdString(command.substr(0, command.find(' '))),
                             QString::fromStdString(model)};
    for (const QString& word : QString::fromStdString(command).split(' ').mid(1)) arguments << word;
    QProcess tool;
    tool.start(TARNWICK_PROGRAM_DIR "/tarnwick-sim", arguments);
    EXPECT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    return tool.readAllStandardOutput().toStdString();
}

void AppTest::Panel(const std::string& model, const std::string& command) { Sim(model, command); }

std::vector<MachinePosition> AppTest::AxesIn(const std::string& text, const std::string& label) {
    const QRegularExpression pattern(QString::fromStdString(label) +
                                     R"(X\s*(-?\d+)\s+Y\s*(-?\d+)\s+Z\s*(-?\d+)\s+A\s*(-?\d+))");
    std::vector<MachinePosition> found;
    for (const auto& m : pattern.globalMatch(QString::fromStdString(text)))
        found.push_back({m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                         m.captured(4).toInt()});
    return found;
}
