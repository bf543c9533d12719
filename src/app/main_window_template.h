#pragma once
#include "ui/dialog_template.h"

// The main window's layout: the position display, fixture radios, Stop, the
// status line and the three pages, plus the older controls kept invisible.
ui::DialogTemplate MainWindowTemplate();
