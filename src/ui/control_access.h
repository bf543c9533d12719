#pragma once
// Reading and writing a control's value whatever widget it is, so that lookup
// by id, data exchange and replaced controls all go through one place. A
// custom widget takes part by declaring the Qt property the value maps to:
// "text", "checked", "currentIndex" or "value".
#include <QString>

class QWidget;

namespace ui {

// Combo boxes: the current item (editable ones: the edit field); list boxes:
// the current item; multi-line edits: their text; group boxes: the title;
// tab controls and widgets without a "text" property: the window title.
QString ControlText(const QWidget* control);
// Combo (not editable) and list boxes select the item with exactly this text,
// or none.
void SetControlText(QWidget* control, const QString& text);

bool IsControlChecked(const QWidget* control);
// Unchecking works in exclusive radio groups too, which leaves none checked.
void SetControlChecked(QWidget* control, bool checked);

// Index of the selected item, page or tab; -1 for none.
int ControlSelection(const QWidget* control);
void SetControlSelection(QWidget* control, int index);

// Trackbar and progress bar position.
int ControlPosition(const QWidget* control);
void SetControlPosition(QWidget* control, int position);

// Adds an item to a list or combo box, in case-insensitive order when `sorted`
// and at the end otherwise, or a tab with an empty page to a tab control;
// returns its index, -1 for other controls.
int AddControlItem(QWidget* control, const QString& text, bool sorted);

}  // namespace ui
