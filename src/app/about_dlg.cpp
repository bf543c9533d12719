#include "app/about_dlg.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

#include "app/program_icon.h"
#include "config/configuration.h"
#include "platform/program_folder.h"
#include "service/log_file.h"

namespace {

ui::DialogTemplate AboutTemplate() {
    using ui::ControlKind;
    ui::DialogTemplate t = ui::Template(IDD_ABOUTBOX, "About Tarnwick", 235, 78);
    t.controls = {
        ui::Row(IDC_ABOUT_ICON, ControlKind::Custom, "", 11, 10, 21, 20),
        ui::Row(ui::IDC_STATIC, ControlKind::Static, "Tarnwick Version 1.0", 40, 10, 130, 8),
        ui::Row(ui::IDC_STATIC, ControlKind::Static,
                "Control program for the Roland MDX-40 and JWX-10", 40, 24, 185, 8),
        ui::Row(ui::IDOK, ControlKind::DefaultButton, "OK", 178, 7, 50, 14),
        ui::Row(IDC_ACTIVATE_LOG, ControlKind::Button, "Activate Log", 10, 56, 60, 14),
        ui::Row(IDC_OPEN_CFG, ControlKind::Button, "Open CFG", 87, 56, 60, 14),
        ui::Row(IDC_CALIBRATION, ControlKind::Button, "Calibration", 164, 56, 60, 14),
    };
    return t;
}

}  // namespace

CAboutDlg::CAboutDlg(LogFile& log, QWidget* parent)
    : ui::Dialog(AboutTemplate(), parent), m_log(log) {
    auto* icon = ReplaceControl<QLabel>(IDC_ABOUT_ICON);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    OnClicked(IDC_ACTIVATE_LOG, [this] { OnActivateLog(); });
    OnClicked(IDC_OPEN_CFG, [this] { OnOpenCfg(); });
    OnClicked(IDC_CALIBRATION, [this] { OnCalibration(); });
}

CAboutDlg::CAboutDlg(LogFile& log, CalibrationSettingsLinks calibration, QWidget* parent)
    : CAboutDlg(log, parent) {
    m_calibration.emplace(calibration);
}

void CAboutDlg::OnInitDialog() {
    setWindowIcon(ProgramIcon());
    // Logging stays on until the program ends, so there is nothing to switch on twice.
    Enable(IDC_ACTIVATE_LOG, !m_log.IsEnabled());
    Enable(IDC_CALIBRATION, m_calibration.has_value());
    ui::Dialog::OnInitDialog();
}

void CAboutDlg::OnActivateLog() {
    m_log.Open(platform::ProgramFolder());
    Enable(IDC_ACTIVATE_LOG, false);
}

void CAboutDlg::OnOpenCfg() {
    // The desktop's own handler for the file: no shell, no command line to quote.
    QDesktopServices::openUrl(QUrl::fromLocalFile(
        QString::fromStdString(Configuration::PathIn(platform::ProgramFolder()))));
}

void CAboutDlg::OnCalibration() {
    if (!m_calibration) return;
    CCalibrationSettingsDlg settings(*m_calibration, this);
    settings.RunModal();
}
