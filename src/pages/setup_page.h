#pragma once
// CSetupPage: the "Setup" tab. Shows the four fixture offsets and the sensor
// offset; a "Set" button takes one axis of one fixture from where the machine
// stands, and "Apply" saves and, with fixture offsets in use, sends the
// selected fixture's origin again.
#include "pages/setup_links.h"
#include "ui/dialog.h"

class CSetupPage : public ui::Dialog {
    Q_OBJECT
public:
    explicit CSetupPage(SetupLinks links, QWidget* parent = nullptr);

    // Fixture 0..3, axis 0..3 (X, Y, Z, A): that offset becomes the machine's
    // last position on the axis; taking Z forgets the measured tool.
    void CaptureOffset(int fixture, int axis);
    void ApplySettings();
    void ShowValues();

protected:
    void OnInitDialog() override;
    // Every time the tab is shown: the values may have changed elsewhere.
    void showEvent(QShowEvent* event) override;

private:
    SetupLinks m_links;
};
