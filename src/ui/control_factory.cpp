#include "ui/control_factory.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "ui/control_access.h"
#include "ui/trackbar.h"

namespace ui {

namespace {

bool Has(const ControlTemplate& control, unsigned style) { return (control.style & style) != 0; }

Qt::Alignment HorizontalAlignment(const ControlTemplate& control) {
    if (Has(control, kAlignCenter)) return Qt::AlignHCenter;
    if (Has(control, kAlignRight)) return Qt::AlignRight;
    return Qt::AlignLeft;
}

template <class Plain>
QAbstractButton* CreateCheckable(const ControlTemplate& control) {
    if (!Has(control, kPushLike)) return new Plain;
    auto* button = new QPushButton;
    button->setCheckable(true);
    button->setAutoDefault(false);
    return button;
}

QWidget* CreateStatic(const ControlTemplate& control) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(!Has(control, kNoWrap));
    const Qt::Alignment vertical = Has(control, kCenterImage) ? Qt::AlignVCenter : Qt::AlignTop;
    label->setAlignment(HorizontalAlignment(control) | vertical);
    return label;
}

QWidget* CreateEdit(const ControlTemplate& control) {
    if (Has(control, kMultiline)) {
        auto* edit = new QPlainTextEdit;
        edit->setReadOnly(Has(control, kReadOnly));
        return edit;
    }
    auto* edit = new QLineEdit;
    edit->setReadOnly(Has(control, kReadOnly));
    edit->setAlignment(HorizontalAlignment(control) | Qt::AlignVCenter);
    return edit;
}

QWidget* CreateComboBox(const ControlTemplate& control) {
    auto* combo = new QComboBox;
    combo->setEditable(Has(control, kEditable));
    // Typed text stays in the edit field; it is not added to the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

QWidget* CreateProgressBar() {
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

}  // namespace

QWidget* ControlFactory::Create(const ControlTemplate& control) {
    QWidget* widget = CreateWidget(control);
    widget->setParent(m_parent);
    if (control.kind == ControlKind::DefaultButton)
        static_cast<QPushButton*>(widget)->setDefault(true);
    if (control.kind == ControlKind::RadioButton)
        JoinRadioGroup(widget, control);
    else if (Has(control, kGroup))
        m_radioGroup = nullptr;
    if (Has(control, kStaticEdge)) {
        if (auto* frame = qobject_cast<QFrame*>(widget))
            frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    }
    for (const std::string& item : control.items)
        AddControlItem(widget, QString::fromStdString(item), Has(control, kSorted));
    if (!control.text.empty()) SetControlText(widget, QString::fromStdString(control.text));
    return widget;
}

QWidget* ControlFactory::CreateWidget(const ControlTemplate& control) {
    switch (control.kind) {
        case ControlKind::Button:
        case ControlKind::DefaultButton:
            return new QPushButton;
        case ControlKind::CheckBox:
            return CreateCheckable<QCheckBox>(control);
        case ControlKind::RadioButton:
            return CreateCheckable<QRadioButton>(control);
        case ControlKind::GroupBox:
            return new QGroupBox;
        case ControlKind::Static:
            return CreateStatic(control);
        case ControlKind::Edit:
            return CreateEdit(control);
        case ControlKind::ListBox:
            return new QListWidget;
        case ControlKind::ComboBox:
            return CreateComboBox(control);
        case ControlKind::Trackbar:
            return new Trackbar(Has(control, kVertical) ? Qt::Vertical : Qt::Horizontal);
        case ControlKind::ProgressBar:
            return CreateProgressBar();
        case ControlKind::TabControl:
            return new QTabWidget;
        case ControlKind::Custom:
            break;
    }
    return new QWidget;
}

void ControlFactory::JoinRadioGroup(QWidget* radio, const ControlTemplate& control) {
    // Siblings would all exclude each other; a group limits that to its radios.
    if (!m_radioGroup || Has(control, kGroup)) m_radioGroup = new QButtonGroup(m_parent);
    m_radioGroup->addButton(static_cast<QAbstractButton*>(radio));
}

}  // namespace ui
