#include "ui/recording_message_box_service.h"

#include "ui/ui_thread.h"

namespace ui {

int RecordingMessageBoxService::Show(QWidget*, const QString& text, const QString& caption) {
    m_boxes.push_back({text, caption, IsUiThread()});
    return m_answer;
}

}  // namespace ui
