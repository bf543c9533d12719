#pragma once
// The base of every window: a QDialog built from a template, with lookup of
// controls by id, data exchange, handlers bound to control events by id, and
// a modal run that ends with a result.
#include <QAnyStringView>
#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <utility>

#include "ui/data_exchange.h"
#include "ui/dialog_ids.h"
#include "ui/dialog_template.h"

namespace ui {

class Dialog : public QDialog {
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    explicit Dialog(DialogTemplate dialogTemplate, QWidget* parent = nullptr);

    int TemplateId() const { return m_template.id; }
    // The template entry a control was built from; nullptr for an unknown id.
    const ControlTemplate* FindTemplate(int id) const;

    // The control with this id; nullptr for none (and for IDC_STATIC).
    QWidget* Control(int id) const;
    template <class W>
    W* Control(int id) const {
        return qobject_cast<W*>(Control(id));
    }
    // Puts a new widget W(args...) in the place of control `id`: same
    // rectangle, id, visibility, enabling, text (when W has a "text" property),
    // tab order and radio group; bindings and handlers carry over. The old
    // widget is deleted.
    template <class W, class... Args>
    W* ReplaceControl(int id, Args&&... args) {
        QWidget* old = Required(id);
        W* widget = new W(std::forward<Args>(args)...);
        Replace(id, old, widget);
        return widget;
    }

    // Data exchange: bind members once (usually in the constructor), then
    // transfer. UpdateData(true) reads the controls into the members and is
    // false when a control held a value its member cannot take;
    // UpdateData(false) writes the members to the controls.
    DataExchange& Bindings() { return m_bindings; }
    bool UpdateData(bool saveAndValidate = true);

    // Controls by id (an unknown id throws std::invalid_argument). Writes made here, by UpdateData
    // and by AddString do not raise the selection-changed event: it is the operator's.
    void SetText(int id, QAnyStringView text);
    QString Text(int id) const;
    void SetInt(int id, int value);
    void SetCheck(int id, bool checked);
    bool IsChecked(int id) const;
    void SetSelection(int id, int index);
    int Selection(int id) const;
    void SetPosition(int id, int position);
    int Position(int id) const;
    // Adds to a list or combo box, sorted when its template says so, or a tab
    // with an empty page to a tab control; returns the item's index.
    int AddString(int id, QAnyStringView text);
    void Enable(int id, bool enable = true);
    bool IsEnabled(int id) const;
    void Show(int id, bool show = true);
    // As set, whether or not the dialog itself is on screen.
    bool IsShown(int id) const;

    // Handlers by control id; binding again replaces the handler. Buttons,
    // check boxes and radios are clicked (a radio also when already checked)
    // and pressed and released; trackbars released (see Trackbar); list, combo
    // and tab controls change their selection; list items are double-clicked.
    void OnClicked(int id, Handler handler);
    void OnPressed(int id, Handler handler);
    void OnReleased(int id, Handler handler);
    void OnTrackbarReleased(int id, Handler handler);
    void OnSelectionChanged(int id, Handler handler);
    void OnDoubleClicked(int id, Handler handler);

    // Initialises the dialog (OnInitDialog) the first time, then runs it
    // modally and returns the result given to EndDialog. A dialog ended while
    // initialising returns at once without showing.
    int RunModal();
    // Runs OnInitDialog once; RunModal calls it, page hosts call it for pages.
    void InitDialog();
    void EndDialog(int result);

    // A message box with this dialog as parent.
    int MessageBox(QAnyStringView text, QAnyStringView caption = {});

protected:
    // Default: write the members to the controls.
    virtual void OnInitDialog();
    // IDOK clicked without a handler of its own, or Enter without a default
    // button. Default: read the controls and end with IDOK if they were valid.
    virtual void OnOK();
    // Escape, the close box, or IDCANCEL clicked without a handler of its own.
    // Default: end with IDCANCEL.
    virtual void OnCancel();

    void accept() override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Event {
        Clicked,
        Pressed,
        Released,
        TrackbarReleased,
        SelectionChanged,
        DoubleClicked
    };

    void Build();
    // The control with this id; a missing one is a mistake in the window and
    // throws std::invalid_argument.
    QWidget* Required(int id) const;
    void Replace(int id, QWidget* old, QWidget* widget);
    void Connect(int id, QWidget* control);
    void Bind(int id, Event event, Handler handler);
    void Raise(int id, Event event);
    // Runs a write of the program's with selection events held back.
    template <class F>
    auto Quietly(F write) -> decltype(write());

    DialogTemplate m_template;
    std::map<int, QPointer<QWidget>> m_controls;
    std::map<std::pair<int, Event>, Handler> m_handlers;
    DataExchange m_bindings;
    int m_quiet = 0;
    bool m_initialised = false;
    bool m_ended = false;
};

}  // namespace ui
