#include "platform/message_box.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace platform {

namespace {

std::mutex g_boxMutex;
MessageBoxHandler g_boxHandler;  // empty: standard error

void PrintToStandardError(const std::string& text, const std::string& caption) {
    const std::string& shown = caption.empty() ? std::string(kDefaultMessageBoxCaption) : caption;
    std::fprintf(stderr, "%s: %s\n", shown.c_str(), text.c_str());
    std::fflush(stderr);
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption) {
    // Copy the handler under the lock and call it outside: a box may stay open
    // for minutes, and the handler may be swapped meanwhile by another thread.
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_boxMutex);
        handler = g_boxHandler;
    }
    if (handler) {
        handler(text, caption);
    } else {
        PrintToStandardError(text, caption);
    }
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    g_boxHandler = std::move(handler);
}

}  // namespace platform
