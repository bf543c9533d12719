#pragma once
// CSetupDlg: the set-up dialog, the same editing as the fixture offsets page
// with the position read from the machine at the click; it saves on "Exit"
// and opens the Set Aux. Locations and Machine Calibration dialogs.
#include "pages/setup_links.h"
#include "ui/dialog.h"

class CSetupDlg : public ui::Dialog {
    Q_OBJECT
public:
    explicit CSetupDlg(SetupLinks links, QWidget* parent = nullptr);

    // Fixture 0..3, axis 0..3: that offset becomes the machine's position on
    // the axis as read now; nothing changes when the machine does not answer.
    void CaptureOffset(int fixture, int axis);

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    // The values shown again and the selected fixture made active, unsaved.
    void Refresh();

    SetupLinks m_links;
};
