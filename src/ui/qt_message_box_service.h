#pragma once
// The message boxes the operator sees: a Qt message box with an OK button.
#include "ui/message_box_service.h"

namespace ui {

class QtMessageBoxService : public MessageBoxService {
public:
    int Show(QWidget* parent, const QString& text, const QString& caption) override;
};

}  // namespace ui
