#pragma once
// Makes the Qt widget for each control of a template, in template order, and
// gathers consecutive radio buttons into their groups.
#include "ui/dialog_template.h"

class QButtonGroup;
class QWidget;

namespace ui {

class ControlFactory {
public:
    // Controls become children of `parent`; so do the radio groups.
    explicit ControlFactory(QWidget* parent) : m_parent(parent) {}

    // The widget for `control` with its text, style and items; position, size,
    // visibility and enabling are left to the caller.
    QWidget* Create(const ControlTemplate& control);

private:
    QWidget* CreateWidget(const ControlTemplate& control);
    void JoinRadioGroup(QWidget* radio, const ControlTemplate& control);

    QWidget* m_parent;
    // The radio group that radios without kGroup join.
    QButtonGroup* m_radioGroup = nullptr;
};

}  // namespace ui
