#pragma once
// CAboutDlg: the program and its version, and three service buttons: switch
// the log on, open the configuration file in the desktop's editor, and the
// machine calibration settings.
#include <optional>

#include "pages/calibration_settings_dlg.h"
#include "ui/dialog.h"

class LogFile;

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDC_ACTIVATE_LOG = 1145;
inline constexpr int IDC_OPEN_CFG = 1159;
inline constexpr int IDC_CALIBRATION = 1165;
// The program icon in the dialog's body.
inline constexpr int IDC_ABOUT_ICON = 1166;

class CAboutDlg : public ui::Dialog {
    Q_OBJECT
public:
    // Without a machine to calibrate, "Calibration" stays disabled.
    explicit CAboutDlg(LogFile& log, QWidget* parent = nullptr);
    CAboutDlg(LogFile& log, CalibrationSettingsLinks calibration, QWidget* parent = nullptr);

protected:
    void OnInitDialog() override;

private:
    void OnActivateLog();
    void OnOpenCfg();
    void OnCalibration();

    LogFile& m_log;
    std::optional<CalibrationSettingsLinks> m_calibration;
};
