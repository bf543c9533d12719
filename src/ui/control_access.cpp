#include "ui/control_access.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>

namespace ui {

namespace {

bool HasProperty(const QObject* object, const char* name) {
    return object->metaObject()->indexOfProperty(name) >= 0;
}

// Where a sorted item goes: before the first item that sorts after it.
int SortedPosition(const QStringList& items, const QString& text) {
    int index = 0;
    while (index < items.size() && items[index].compare(text, Qt::CaseInsensitive) <= 0) ++index;
    return index;
}

QStringList Items(const QWidget* control) {
    QStringList items;
    if (auto* combo = qobject_cast<const QComboBox*>(control)) {
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    } else if (auto* list = qobject_cast<const QListWidget*>(control)) {
        for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    } else if (auto* tabs = qobject_cast<const QTabWidget*>(control)) {
        for (int i = 0; i < tabs->count(); ++i) items << tabs->tabText(i);
    }
    return items;
}

}  // namespace

QString ControlText(const QWidget* control) {
    if (auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentText();
    if (auto* list = qobject_cast<const QListWidget*>(control))
        return list->currentItem() ? list->currentItem()->text() : QString();
    if (auto* edit = qobject_cast<const QPlainTextEdit*>(control)) return edit->toPlainText();
    if (auto* group = qobject_cast<const QGroupBox*>(control)) return group->title();
    if (HasProperty(control, "text")) return control->property("text").toString();
    return control->windowTitle();
}

void SetControlText(QWidget* control, const QString& text) {
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (combo->isEditable())
            combo->setEditText(text);
        else
            combo->setCurrentIndex(combo->findText(text));
    } else if (auto* list = qobject_cast<QListWidget*>(control)) {
        SetControlSelection(list, Items(list).indexOf(text));
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) {
        edit->setPlainText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(text);
    } else if (HasProperty(control, "text")) {
        control->setProperty("text", text);
    } else {
        control->setWindowTitle(text);
    }
}

bool IsControlChecked(const QWidget* control) { return control->property("checked").toBool(); }

void SetControlChecked(QWidget* control, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(control);
    QButtonGroup* group = button ? button->group() : nullptr;
    // An exclusive group refuses to uncheck its checked button.
    const bool exclusive = group && group->exclusive();
    if (exclusive && !checked) group->setExclusive(false);
    control->setProperty("checked", checked);
    if (exclusive && !checked) group->setExclusive(true);
}

int ControlSelection(const QWidget* control) {
    if (auto* list = qobject_cast<const QListWidget*>(control)) return list->currentRow();
    const QVariant index = control->property("currentIndex");
    return index.isValid() ? index.toInt() : -1;
}

void SetControlSelection(QWidget* control, int index) {
    if (auto* list = qobject_cast<QListWidget*>(control)) {
        list->setCurrentRow(index);
        if (index < 0) list->clearSelection();
    } else {
        control->setProperty("currentIndex", index);
    }
}

int ControlPosition(const QWidget* control) { return control->property("value").toInt(); }

void SetControlPosition(QWidget* control, int position) { control->setProperty("value", position); }

int AddControlItem(QWidget* control, const QString& text, bool sorted) {
    const QStringList items = Items(control);
    const int index = sorted ? SortedPosition(items, text) : static_cast<int>(items.size());
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        // A combo box selects its first item by itself; adding leaves the
        // selection to the window.
        const int selected = combo->currentIndex();
        const QString editText = combo->currentText();
        combo->insertItem(index, text);
        if (selected < 0) {
            combo->setCurrentIndex(-1);
            if (combo->isEditable()) combo->setEditText(editText);
        }
    } else if (auto* list = qobject_cast<QListWidget*>(control)) {
        list->insertItem(index, text);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(control)) {
        tabs->insertTab(index, new QWidget, text);
    } else {
        return -1;
    }
    return index;
}

}  // namespace ui
