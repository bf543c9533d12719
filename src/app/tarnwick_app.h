#pragma once
// CTarnwickApp: start-up. Finds the program folder, asks for the machine type
// on a fresh installation, then runs the main window modally until it closes.
#include <functional>
#include <memory>
#include <optional>

#include "config/configuration.h"
#include "service/log_file.h"

class CTarnwickDlg;

class CTarnwickApp {
public:
    CTarnwickApp();
    ~CTarnwickApp();

    // Runs the program; returns the main window's result.
    int InitInstance();

    Configuration& Config() { return m_config; }
    LogFile& Log() { return m_log; }
    // The main window while it runs (for scripted runs and tests).
    CTarnwickDlg* MainWindow() { return m_mainWindow.get(); }
    // The main window's command thread could not be stopped: the caller must end
    // the process (platform::EndProcess) rather than destroy this object, whose
    // configuration and log the thread still uses.
    bool ThreadAbandoned() const { return m_threadAbandoned; }
    // Called with the main window once it is constructed, before it runs.
    std::function<void(CTarnwickDlg&)> onMainWindowCreated;
    // Answers the machine type question of a fresh installation in advance
    // (a configuration without a machine type, or with -1).
    std::optional<int> presetMachineType;

private:
    void ChooseMachineType();

    Configuration m_config;
    LogFile m_log;
    std::unique_ptr<CTarnwickDlg> m_mainWindow;
    bool m_threadAbandoned = false;
};
