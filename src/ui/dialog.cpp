#include "ui/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFont>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <stdexcept>
#include <string>

#include "ui/control_access.h"
#include "ui/control_factory.h"
#include "ui/dialog_units.h"
#include "ui/message_box_service.h"
#include "ui/trackbar.h"

namespace ui {

namespace {

QFont TemplateFont(const DialogTemplate& dialogTemplate) {
    QFont font = QApplication::font();
    if (!dialogTemplate.fontFace.empty())
        font.setFamily(QString::fromStdString(dialogTemplate.fontFace));
    font.setPointSize(dialogTemplate.fontPointSize);
    return font;
}

Qt::WindowFlags TemplateWindowFlags(unsigned flags) {
    if (flags & kChild) return Qt::Widget;
    Qt::WindowFlags windowFlags = Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    // A minimise box needs a window the window manager treats as one.
    windowFlags |= (flags & kMinimizeBox) ? Qt::Window | Qt::WindowMinimizeButtonHint : Qt::Dialog;
    if (flags & kSystemMenu) windowFlags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    return windowFlags;
}

bool HasVisibleDefaultButton(const QWidget* dialog) {
    for (const QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->isDefault() && button->isVisible()) return true;
    return false;
}

}  // namespace

Dialog::Dialog(DialogTemplate dialogTemplate, QWidget* parent)
    : QDialog(parent),
      m_template(std::move(dialogTemplate)),
      m_bindings([this](int id) { return Control(id); }) {
    Build();
}

void Dialog::Build() {
    setWindowFlags(TemplateWindowFlags(m_template.flags));
    setWindowTitle(QString::fromStdString(m_template.caption));
    setFont(TemplateFont(m_template));
    const DialogUnits units(font());
    const QSize size = units.ToPixels(QSize(m_template.width, m_template.height));
    if (m_template.flags & (kResizable | kChild))
        resize(size);
    else
        setFixedSize(size);

    ControlFactory factory(this);
    for (const ControlTemplate& control : m_template.controls) {
        QWidget* widget = factory.Create(control);
        QRect rect = units.ToPixels(QRect(control.x, control.y, control.width, control.height));
        // A combo box's template height includes its dropped-down list.
        if (control.kind == ControlKind::ComboBox) rect.setHeight(widget->sizeHint().height());
        widget->setGeometry(rect);
        widget->setEnabled(control.enabled);
        widget->setHidden(!control.visible);
        if (control.id == IDC_STATIC) continue;
        m_controls[control.id] = widget;
        Connect(control.id, widget);
    }
}

const ControlTemplate* Dialog::FindTemplate(int id) const {
    for (const ControlTemplate& control : m_template.controls)
        if (control.id == id && id != IDC_STATIC) return &control;
    return nullptr;
}

QWidget* Dialog::Control(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second.data();
}

QWidget* Dialog::Required(int id) const {
    QWidget* control = Control(id);
    if (!control) throw std::invalid_argument("no control " + std::to_string(id));
    return control;
}

void Dialog::Replace(int id, QWidget* old, QWidget* widget) {
    widget->setParent(this);
    widget->setFont(old->font());
    widget->setGeometry(old->geometry());
    widget->setEnabled(old->isEnabled());
    widget->setHidden(old->isHidden());
    if (widget->metaObject()->indexOfProperty("text") >= 0)
        SetControlText(widget, ControlText(old));
    widget->stackUnder(old);
    QWidget::setTabOrder(old, widget);
    auto* oldButton = qobject_cast<QAbstractButton*>(old);
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (oldButton && oldButton->group() && button) oldButton->group()->addButton(button);
    m_controls[id] = widget;
    delete old;
    Connect(id, widget);
}

void Dialog::Connect(int id, QWidget* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { Raise(id, Event::Clicked); });
        connect(button, &QAbstractButton::pressed, this, [this, id] { Raise(id, Event::Pressed); });
        connect(button, &QAbstractButton::released, this,
                [this, id] { Raise(id, Event::Released); });
    } else if (auto* trackbar = qobject_cast<Trackbar*>(control)) {
        connect(trackbar, &Trackbar::Released, this,
                [this, id] { Raise(id, Event::TrackbarReleased); });
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        // Only the operator activates an item.
        connect(combo, &QComboBox::activated, this,
                [this, id] { Raise(id, Event::SelectionChanged); });
    } else if (auto* list = qobject_cast<QListWidget*>(control)) {
        connect(list, &QListWidget::currentRowChanged, this, [this, id] {
            if (m_quiet == 0) Raise(id, Event::SelectionChanged);
        });
        connect(list, &QListWidget::itemDoubleClicked, this,
                [this, id] { Raise(id, Event::DoubleClicked); });
    } else if (auto* tabs = qobject_cast<QTabWidget*>(control)) {
        connect(tabs, &QTabWidget::currentChanged, this, [this, id] {
            if (m_quiet == 0) Raise(id, Event::SelectionChanged);
        });
    }
}

void Dialog::Bind(int id, Event event, Handler handler) {
    m_handlers[{id, event}] = std::move(handler);
}

void Dialog::Raise(int id, Event event) {
    const auto found = m_handlers.find({id, event});
    if (found != m_handlers.end()) {
        // A copy: the handler may bind another in its place.
        const Handler handler = found->second;
        handler();
    } else if (event == Event::Clicked && id == IDOK) {
        OnOK();
    } else if (event == Event::Clicked && id == IDCANCEL) {
        OnCancel();
    }
}

template <class F>
auto Dialog::Quietly(F write) -> decltype(write()) {
    ++m_quiet;
    struct Restore {
        int& quiet;
        ~Restore() { --quiet; }
    } restore{m_quiet};
    return write();
}

bool Dialog::UpdateData(bool saveAndValidate) {
    return Quietly([&] { return m_bindings.Transfer(saveAndValidate); });
}

void Dialog::SetText(int id, QAnyStringView text) {
    Quietly([&] { SetControlText(Required(id), text.toString()); });
}

QString Dialog::Text(int id) const { return ControlText(Required(id)); }

void Dialog::SetInt(int id, int value) { SetText(id, QString::number(value)); }

void Dialog::SetCheck(int id, bool checked) { SetControlChecked(Required(id), checked); }

bool Dialog::IsChecked(int id) const { return IsControlChecked(Required(id)); }

void Dialog::SetSelection(int id, int index) {
    Quietly([&] { SetControlSelection(Required(id), index); });
}

int Dialog::Selection(int id) const { return ControlSelection(Required(id)); }

void Dialog::SetPosition(int id, int position) { SetControlPosition(Required(id), position); }

int Dialog::Position(int id) const { return ControlPosition(Required(id)); }

int Dialog::AddString(int id, QAnyStringView text) {
    const ControlTemplate* control = FindTemplate(id);
    const bool sorted = control && (control->style & kSorted);
    return Quietly([&] { return AddControlItem(Required(id), text.toString(), sorted); });
}

void Dialog::Enable(int id, bool enable) { Required(id)->setEnabled(enable); }

bool Dialog::IsEnabled(int id) const { return Required(id)->isEnabled(); }

void Dialog::Show(int id, bool show) { Required(id)->setHidden(!show); }

bool Dialog::IsShown(int id) const { return !Required(id)->isHidden(); }

void Dialog::OnClicked(int id, Handler handler) { Bind(id, Event::Clicked, std::move(handler)); }

void Dialog::OnPressed(int id, Handler handler) { Bind(id, Event::Pressed, std::move(handler)); }

void Dialog::OnReleased(int id, Handler handler) { Bind(id, Event::Released, std::move(handler)); }

void Dialog::OnTrackbarReleased(int id, Handler handler) {
    Bind(id, Event::TrackbarReleased, std::move(handler));
}

void Dialog::OnSelectionChanged(int id, Handler handler) {
    Bind(id, Event::SelectionChanged, std::move(handler));
}

void Dialog::OnDoubleClicked(int id, Handler handler) {
    Bind(id, Event::DoubleClicked, std::move(handler));
}

void Dialog::InitDialog() {
    if (m_initialised) return;
    m_initialised = true;
    OnInitDialog();
}

int Dialog::RunModal() {
    m_ended = false;
    InitDialog();
    if (m_ended) return result();
    return exec();
}

void Dialog::EndDialog(int result) {
    m_ended = true;
    // QDialog::done also works before exec has started, except that exec
    // would then forget the result: RunModal returns it itself.
    done(result);
}

int Dialog::MessageBox(QAnyStringView text, QAnyStringView caption) {
    return ui::MessageBox(this, text, caption);
}

void Dialog::OnInitDialog() { UpdateData(false); }

void Dialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::accept() { OnOK(); }

void Dialog::reject() { OnCancel(); }

void Dialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!isWindow() && (enter || event->key() == Qt::Key_Escape)) {
        // A page leaves Enter and Escape to the window it sits in.
        event->ignore();
    } else if (enter && event->modifiers() == Qt::NoModifier && !HasVisibleDefaultButton(this)) {
        OnOK();
    } else {
        QDialog::keyPressEvent(event);
    }
}

}  // namespace ui
