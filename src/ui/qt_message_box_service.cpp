#include "ui/qt_message_box_service.h"

#include <QMessageBox>

#include "ui/dialog_ids.h"

namespace ui {

int QtMessageBoxService::Show(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
    return IDOK;  // OK is the only way out, Escape and the close box included
}

}  // namespace ui
