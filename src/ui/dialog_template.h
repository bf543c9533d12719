#pragma once
// The description a window is built from: its controls with their ids, kinds,
// texts and rectangles in dialog units, so that a layout reads like the
// window's template rather than like widget code.
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog_ids.h"

namespace ui {

enum class ControlKind {
    Button,
    DefaultButton,  // the button Enter presses
    CheckBox,
    RadioButton,
    GroupBox,  // a frame with a title; it does not own the controls inside it
    Static,
    Edit,
    ListBox,
    ComboBox,  // a drop-down list, or a drop-down with an edit field (kEditable)
    Trackbar,  // range 0..100 until the window sets its own
    ProgressBar,
    TabControl,
    Custom,  // an empty placeholder for a widget the window puts in its place
};

// Control style flags (ControlTemplate::style).
enum ControlStyle : unsigned {
    kGroup = 1u << 0,        // starts a group: a radio with it starts a new radio group
    kAlignCenter = 1u << 1,  // statics, edits
    kAlignRight = 1u << 2,   // statics, edits
    kNoWrap = 1u << 3,       // statics: one line, no word wrap
    kCenterImage = 1u << 4,  // statics: text centred vertically
    kStaticEdge = 1u << 5,   // a sunken frame
    kReadOnly = 1u << 6,     // edits
    kMultiline = 1u << 7,    // edits
    kEditable = 1u << 8,     // combo boxes: drop-down with an edit field
    kSorted = 1u << 9,       // list and combo boxes keep their items sorted
    kPushLike = 1u << 10,    // check boxes and radio buttons drawn as push buttons
    kVertical = 1u << 11,    // trackbars
};

struct ControlTemplate {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    std::string text;
    // Rectangle in dialog units.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool visible = true;
    bool enabled = true;
    unsigned style = 0;
    // Initial items of list and combo boxes.
    std::vector<std::string> items;
};

// Window style flags (DialogTemplate::flags).
enum DialogFlag : unsigned {
    kSystemMenu = 1u << 0,  // system menu and close box; without it the caption has neither
    kMinimizeBox = 1u << 1,
    kResizable = 1u << 2,  // otherwise the window keeps its template size
    kChild = 1u << 3,      // a page inside another window: no caption, no frame
};

// One control, written as a template row reads.
inline ControlTemplate Row(int id, ControlKind kind, std::string text, int x, int y, int width,
                           int height, unsigned style = 0, bool visible = true,
                           std::vector<std::string> items = {}) {
    return {id, kind, std::move(text), x, y, width, height, visible, true, style, std::move(items)};
}

struct DialogTemplate {
    int id = 0;
    std::string caption;
    // Client size in dialog units.
    int width = 0;
    int height = 0;
    // Empty face: the application's font family.
    std::string fontFace;
    int fontPointSize = 8;
    unsigned flags = kSystemMenu;
    std::vector<ControlTemplate> controls;
};

// A template with its id, caption, client size and style; its controls still to come.
inline DialogTemplate Template(int id, std::string caption, int width, int height,
                               unsigned flags = kSystemMenu) {
    DialogTemplate t;
    t.id = id;
    t.caption = std::move(caption);
    t.width = width;
    t.height = height;
    t.flags = flags;
    return t;
}

}  // namespace ui
