#include "app/tarnwick_app.h"

#include "app/machine_type_dlg.h"
#include "app/tarnwick_dlg.h"
#include "platform/profile_file.h"
#include "platform/program_folder.h"
#include "ui/platform_message_box_route.h"

CTarnwickApp::CTarnwickApp() : m_config(platform::ProgramFolder()) {}

CTarnwickApp::~CTarnwickApp() = default;

void CTarnwickApp::ChooseMachineType() {
    m_config.SetFirstRun(false);
    int machineType = 0;  // what Escape leaves
    const std::string stored =
        platform::ReadProfileString("MACHINEINFO", "MACHINETYPE", "", m_config.Path());
    if (presetMachineType && (stored.empty() || stored == "-1")) {
        machineType = *presetMachineType;
    } else if (Configuration::ReadMachineType(platform::ProgramFolder()) == -1) {
        CMachineTypeDlg dialog(machineType);
        dialog.RunModal();
    } else {
        return;
    }
    m_config.SetFirstRun(true);
    m_config.SetMachineType(machineType);
    m_config.WriteMachineProfile(machineType);
}

int CTarnwickApp::InitInstance() {
    // The port's own messages come through the same boxes as the windows'.
    ui::PlatformMessageBoxRoute messageBoxes;
    ChooseMachineType();
    m_mainWindow = std::make_unique<CTarnwickDlg>(m_config, m_log);
    if (onMainWindowCreated) onMainWindowCreated(*m_mainWindow);
    const int result = m_mainWindow->RunModal();
    m_mainWindow->OnDestroy();
    messageBoxes.GiveUp();
    if (m_mainWindow->ThreadAbandoned()) {
        // Kept, with everything the thread uses, until the process ends.
        (void)m_mainWindow.release();
        m_threadAbandoned = true;
        return result;
    }
    m_mainWindow.reset();
    return result;
}
