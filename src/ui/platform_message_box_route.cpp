#include "ui/platform_message_box_route.h"

#include <QApplication>
#include <QString>
#include <string>

#include "platform/message_box.h"
#include "ui/message_box_service.h"
#include "ui/ui_thread.h"

namespace ui {

PlatformMessageBoxRoute::PlatformMessageBoxRoute()
    : m_givenUp(std::make_shared<std::atomic<bool>>(false)) {
    platform::SetMessageBoxHandler([givenUp = m_givenUp](const std::string& text,
                                                         const std::string& caption) {
        RunOnUiThread([text, caption] { MessageBox(QApplication::activeWindow(), text, caption); },
                      *givenUp);
    });
}

PlatformMessageBoxRoute::~PlatformMessageBoxRoute() {
    GiveUp();
    platform::SetMessageBoxHandler({});
}

void PlatformMessageBoxRoute::GiveUp() { m_givenUp->store(true); }

}  // namespace ui
