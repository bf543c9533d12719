#pragma once
// CTarnwickDlg: the main window. It owns the machine port, the state shared
// with the command thread and the thread itself; its handlers and requests
// are the only way the windows start machine cycles.
#include <cstdint>
#include <memory>
#include <string>

#include "app/window_display.h"
#include "link/machine_port.h"
#include "pages/aux_locations_dlg.h"
#include "pages/calibration_dlg.h"
#include "pages/setup_links.h"
#include "service/command_thread.h"
#include "service/requests.h"
#include "service/shared_state.h"
#include "ui/dialog.h"

class Configuration;
class LogFile;
class CStatusLabel;
class CPageTabCtrl;

class CTarnwickDlg : public ui::Dialog {
    Q_OBJECT
public:
    CTarnwickDlg(Configuration& config, LogFile& log, QWidget* parent = nullptr);
    ~CTarnwickDlg() override;

    // Shutdown: stop the thread, close the log and the port, and show the
    // closing reason unless the operator closed the window with "Close".
    void OnDestroy();
    // The command thread did not end within its bound at shutdown (a driver
    // call that never returns): it still uses the port, the log, the shared
    // state and the configuration, so none of them may be closed or destroyed;
    // the application ends the process instead.
    bool ThreadAbandoned() const { return m_threadAbandoned; }
    void SetThreadJoinBound(int ms) { m_threadJoinMs = ms; }

    // Requests with a busy check: false (after the refusal box) when a cycle is pending.
    bool RequestToolDetection() { return Request(kToolDetectionRequest); }
    bool RequestDetection() { return Request(kDetectionRequest); }
    // The tool put back or fetched travels with the request.
    bool RequestReplaceTool(int tool) { return RequestTool(kReplaceToolRequest, tool); }
    bool RequestGetTool(int tool) { return RequestTool(kGetToolRequest, tool); }
    // Requests without a busy check.
    bool RequestTargetMove(const MachinePosition& target, std::int32_t speed);
    bool RequestAuxLocation(int location);
    void ReapplyFixture();
    void OnStop();
    // "Set Up": the set-up dialog; ended with "Exit" while fixture offsets are
    // in use, the selected fixture is applied.
    void OnSetUp();
    void OnUseFixtureOffsets();
    void OnFixture(int index);  // OnFixture1..OnFixture4 for 0..3
    // Runs the Tool Changer dialog ("Tool Changer", 1066, or the context menu).
    void OnToolChanger();
    // Shows fixture `index` selected without applying it (the run page applies it).
    void ShowSelectedFixture(int index);
    CPageTabCtrl* Pages() { return m_pages; }
    // What the Machine Calibration dialog needs of this window, for any window that opens it.
    CalibrationDlgLinks CalibrationLinks();
    // The context menu's "Machine Calibration...".
    void ShowCalibration(QWidget* parent = nullptr);

    CMachinePort& Port() { return m_port; }
    SharedState& State() { return m_state; }
    Configuration& Config() { return m_config; }
    WindowDisplay& Display() { return m_display; }
    const std::string& ModelName() const { return m_modelName; }
    CCommandThread* CommandThread() { return m_thread.get(); }

    static constexpr const char* kNotFoundText = "Roland machine not found";
    static constexpr const char* kErrorCaption = "Error";
    static constexpr const char* kClosingCaption = "Closing";
    static constexpr const char* kScanCancelledText = "Scan cancelled!";
    // How long shutdown waits for the command thread to finish its iteration.
    static constexpr int kThreadJoinMs = 10000;

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    bool Request(const BusyCheckedRequest& request);
    bool RequestTool(const BusyCheckedRequest& request, int tool);
    // An entry of the window's context menu for a button the window keeps hidden.
    void AddMenuEntry(const QString& text, int hiddenButtonId, Handler handler);
    void BindHandlers();
    void SetUpAppearance();
    void SetUpOverrides();
    void ApplyActiveOffsetsAtStartUp();
    void OnOverrideReleased(int trackbarId, int labelId);
    CStatusLabel& Label(int id);
    void ShowAbout();
    AuxLocationsLinks MakeAuxLocationsLinks();
    SetupLinks MakeSetupLinks();

    Configuration& m_config;
    LogFile& m_log;
    CMachinePort m_port;
    std::string m_modelName;
    SharedState m_state;
    WindowDisplay m_display;
    std::unique_ptr<CCommandThread> m_thread;
    int m_threadJoinMs = kThreadJoinMs;
    bool m_threadAbandoned = false;
    CPageTabCtrl* m_pages = nullptr;  // owned by the tab control

    // Members bound to the controls.
    int m_goAxis = 0;
    int m_selectedFixture = 0;
    bool m_useFixture = false;
    int m_positionSelection = 0;
    int m_feedOverride = 100;
    int m_spindleOverride = 100;
    int m_spindleSwitch = 0;
    int m_auxDevice = 0;
    std::string m_positionEdit;
};
