#pragma once
// CMachineTypeDlg: asks which machine this is, once, on a fresh installation.
#include "ui/dialog.h"

inline constexpr int IDD_MACHINE_TYPE = 141;
inline constexpr int IDC_MACHINE_TYPE_LIST = 1147;

class CMachineTypeDlg : public ui::Dialog {
    Q_OBJECT
public:
    // `machineType` receives the chosen index on OK (-1 when none is selected);
    // Escape leaves it as it was.
    explicit CMachineTypeDlg(int& machineType, QWidget* parent = nullptr);

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    int& m_machineType;
    int m_selection = 0;
};
