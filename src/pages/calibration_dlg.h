#pragma once
// CCalibrationDlg: "Machine Calibration". Starts the three scans of the rotary
// axis and the tool sensor, shows what the command thread measures, and stops
// a scan. The scans run on the command thread; this dialog only checks that
// one may start and asks for it.
#include <cstdint>
#include <functional>

#include "ui/dialog.h"
#include "ui/scoped_registration.h"

class CMachinePort;
class SharedState;

inline constexpr int IDD_CALIBRATION = 136;
inline constexpr int IDC_CHECK_RUNOUT = 1077;
inline constexpr int IDC_FIND_ROTARY_CENTER = 1084;
inline constexpr int IDC_TOOL_SENSOR_SETUP = 1088;
// The result fields (1079-1094) and Stop (1101) are in service/control_ids.h.

// What the dialog needs of the window that opens it.
struct CalibrationDlgLinks {
    CMachinePort& port;  // the sensor cable and the machine's status, before a scan starts
    SharedState& state;  // scan kind and step
    // The main window's Stop action.
    std::function<void()> stop;
    // Makes the dialog the target of the command thread's scan results for as
    // long as the returned registration lasts.
    std::function<ui::ScopedRegistration(ui::Dialog&)> registerResults;
};

class CCalibrationDlg : public ui::Dialog {
    Q_OBJECT
public:
    explicit CCalibrationDlg(CalibrationDlgLinks links, QWidget* parent = nullptr);
    ~CCalibrationDlg() override;

    void OnCheckRunout();
    void OnFindRotaryCenter();
    void OnToolSensorSetup();

    // The Y centre the last Y-center scan found while this dialog was open, in counts.
    std::int32_t YCenter() const { return m_yCenter; }
    void SetYCenter(std::int32_t counts) { m_yCenter = counts; }

    // Ends the registration: a closed dialog takes no more results.
    void done(int result) override;

    static constexpr const char* kScanInProcessText = "Scan in process...";
    static constexpr const char* kRunoutRefusal =
        "Can't run the RunOut cycle while another cycle is running!";
    static constexpr const char* kYCenterRefusal =
        "Can't run the YCenter cycle while another cycle is running!";
    static constexpr const char* kToolSensorRefusal =
        "Can't run the ToolSensor cycle while another cycle is running!";

private:
    void StartScan(int kind, const char* refusal);

    CalibrationDlgLinks m_links;
    // The result fields are bound to no members: the thread writes the
    // controls, and a transfer of members would blank what it wrote.
    ui::ScopedRegistration m_results;
    std::int32_t m_yCenter = 0;
};
