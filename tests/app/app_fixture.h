#pragma once
// The program's windows in a test: a program folder of its own (with the
// simulated driver, the recording driver, or no driver), message boxes
// recorded, and a simulated machine of its own.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/tarnwick_dlg.h"
#include "config/configuration.h"
#include "link/machine_position.h"
#include "pages/status_label.h"
#include "service/log_file.h"
#include "sim/sim_environment.h"
#include "ui/recording_message_box_service.h"

// Usb: the real mill's driver library (for tests built with USB_DRIVER_DIR).
enum class Driver { Simulated, Recording, Usb, None };

class AppTest : public ::testing::Test {
protected:
    AppTest();
    ~AppTest() override;

    // Makes the program folder hold `driver` as RDUPSLT.DLL.
    void UseDriver(Driver driver);
    void WriteConfig(const std::string& section, const std::string& key, const std::string& value);
    std::string ReadConfig(const std::string& section, const std::string& key);
    // Texts of the recorded boxes, "caption: text".
    std::vector<std::string> Boxes() const;
    // Processes events until `condition` holds (at most ten seconds).
    bool WaitUntil(const std::function<bool()>& condition);
    // Runs a simulator command on the machine ("fault lose", "status" ...) and returns its output.
    std::string Sim(const std::string& model, const std::string& command);
    void Panel(const std::string& model, const std::string& command);
    // Every "X n Y n Z n A n" in `text` that follows `label` (a regular expression).
    static std::vector<MachinePosition> AxesIn(const std::string& text, const std::string& label);

    simtest::ScopedSimDir sim{"200"};
    std::string folder;
    std::shared_ptr<ui::RecordingMessageBoxService> boxes =
        std::make_shared<ui::RecordingMessageBoxService>();
    ui::ScopedMessageBoxService installed{boxes};
};

// The main window built and initialised as start-up does, without a modal loop.
class MainWindowTest : public AppTest {
protected:
    // Builds and initialises the main window as start-up does, without a modal loop.
    void Start() {
        config = std::make_unique<Configuration>(folder);
        window = std::make_unique<CTarnwickDlg>(*config, log);
        window->InitDialog();
        window->show();
    }
    void TearDown() override {
        if (window) {
            window->hide();
            window->OnDestroy();
        }
    }
    QString Shown(int id) { return window->Control<CStatusLabel>(id)->Text(); }
    void Click(int id) { window->Control<QAbstractButton>(id)->click(); }

    LogFile log;
    std::unique_ptr<Configuration> config;
    std::unique_ptr<CTarnwickDlg> window;
};
