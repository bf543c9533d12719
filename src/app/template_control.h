#pragma once
// One control of a window's template, written as the template rows read.
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog_template.h"

inline ui::ControlTemplate TemplateControl(int id, ui::ControlKind kind, std::string text, int x,
                                           int y, int width, int height, unsigned style = 0,
                                           bool visible = true,
                                           std::vector<std::string> items = {}) {
    return {id, kind, std::move(text), x, y, width, height, visible, true, style, std::move(items)};
}
