#pragma once
// A message box service for tests: records every box and answers at once.
#include <QString>
#include <vector>

#include "ui/dialog_ids.h"
#include "ui/message_box_service.h"

namespace ui {

struct RecordedMessageBox {
    QString text;
    QString caption;
    bool onUiThread = false;
};

class RecordingMessageBoxService : public MessageBoxService {
public:
    int Show(QWidget* parent, const QString& text, const QString& caption) override;

    const std::vector<RecordedMessageBox>& Boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }
    // What Show returns; IDOK unless set.
    void SetAnswer(int answer) { m_answer = answer; }

private:
    std::vector<RecordedMessageBox> m_boxes;
    int m_answer = IDOK;
};

}  // namespace ui
