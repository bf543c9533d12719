#pragma once
// Every message box of the windows goes through one replaceable service: the
// application shows them with Qt, tests record them and answer at once.
// UI thread only; other threads reach it through PlatformMessageBoxRoute.
#include <QAnyStringView>
#include <QString>
#include <memory>

class QWidget;

namespace ui {

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Shows an OK box and returns the button that ended it (IDOK). The caption
    // is the one to show: never empty.
    virtual int Show(QWidget* parent, const QString& text, const QString& caption) = 0;
};

// Installs the service every box goes through from now on and returns the one
// it replaces; nullptr installs the Qt one (the initial service).
std::shared_ptr<MessageBoxService> SetMessageBoxService(std::shared_ptr<MessageBoxService> service);

// Shows an OK box through the service; an empty caption shows the program's
// default caption.
int MessageBox(QWidget* parent, QAnyStringView text, QAnyStringView caption = {});

// Installs a service for the life of this object, then restores the one before.
class ScopedMessageBoxService {
public:
    explicit ScopedMessageBoxService(std::shared_ptr<MessageBoxService> service)
        : m_previous(SetMessageBoxService(std::move(service))) {}
    ~ScopedMessageBoxService() { SetMessageBoxService(std::move(m_previous)); }
    ScopedMessageBoxService(const ScopedMessageBoxService&) = delete;
    ScopedMessageBoxService& operator=(const ScopedMessageBoxService&) = delete;

private:
    std::shared_ptr<MessageBoxService> m_previous;
};

}  // namespace ui
