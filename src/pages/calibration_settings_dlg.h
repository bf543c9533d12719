#pragma once
// CCalibrationSettingsDlg: "Machine Calibration Settings". Reads the
// machine's parameter blocks, shows three calibration values from them once
// the operator presses "Initialize", and writes the edited values back on OK.
#include <cstdint>
#include <string>

#include "ui/dialog.h"

class Configuration;
class QTimer;
class SharedState;

inline constexpr int IDD_CALIBRATION_SETTINGS = 147;
inline constexpr int IDC_Y_WIDE_NARROW = 1161;
inline constexpr int IDC_Z_WIDE_NARROW = 1162;
inline constexpr int IDC_WORK_WIDTH = 1163;
inline constexpr int IDC_INITIALIZE = 1164;

// Byte offsets of the 16-bit fields of the parameter record the dialog uses.
inline constexpr std::size_t kYWideNarrowField = 44;      // read and written
inline constexpr std::size_t kZWideNarrowField = 46;      // read and written
inline constexpr std::size_t kWorkWidthField = 58;        // read and written
inline constexpr std::size_t kYWideNarrowCopyField = 38;  // written only
inline constexpr std::size_t kZWideNarrowCopyField = 40;  // written only
inline constexpr std::size_t kClearedField = 42;          // written as 0

// What the dialog needs of the window that opens it.
struct CalibrationSettingsLinks {
    SharedState& state;           // requests, the last status, the parameter records
    const Configuration& config;  // the sensor offset the tool sensor scan keeps
};

class CCalibrationSettingsDlg : public ui::Dialog {
    Q_OBJECT
public:
    explicit CCalibrationSettingsDlg(CalibrationSettingsLinks links, QWidget* parent = nullptr);
    ~CCalibrationSettingsDlg() override;

    void OnInitialize();
    bool Initialised() const { return m_initialised; }

    static constexpr const char* kViewModeText = "Machine is in View Mode...can't initialize!";
    static constexpr const char* kRestartText =
        "The machine must be turn off and restarted\nbefore these changes will take effect!";
    // How often the dialog looks whether the thread has read the blocks.
    static constexpr int kReadPollMs = 50;

protected:
    void OnInitDialog() override;
    // Write: the edited record, then the write parameters cycle.
    void OnOK() override;

private:
    // Asks for the read until the thread has done one; "Initialize" waits for it.
    void AwaitRead();
    void EnableEdits(bool enable);

    CalibrationSettingsLinks m_links;
    QTimer* m_readPoll = nullptr;
    std::uint32_t m_readsBefore = 0;
    bool m_initialised = false;

    // Members bound to the controls.
    std::string m_yWideNarrow;
    std::string m_zWideNarrow;
    std::string m_workWidth;
};
