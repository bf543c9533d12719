#include "ui/message_box_service.h"

#include "platform/message_box.h"
#include "ui/qt_message_box_service.h"

namespace ui {

namespace {

std::shared_ptr<MessageBoxService>& Current() {
    static std::shared_ptr<MessageBoxService> service = std::make_shared<QtMessageBoxService>();
    return service;
}

}  // namespace

std::shared_ptr<MessageBoxService> SetMessageBoxService(
    std::shared_ptr<MessageBoxService> service) {
    if (!service) service = std::make_shared<QtMessageBoxService>();
    Current().swap(service);
    return service;
}

int MessageBox(QWidget* parent, QAnyStringView text, QAnyStringView caption) {
    const QString shown = caption.isEmpty() ? QString::fromUtf8(platform::kDefaultMessageBoxCaption)
                                            : caption.toString();
    // Hold the service while its box is open: a handler may install another.
    const std::shared_ptr<MessageBoxService> service = Current();
    return service->Show(parent, text.toString(), shown);
}

}  // namespace ui
