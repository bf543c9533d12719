#include "platform/message_box.h"

#include <cstdio>

#include "platform/replaceable_handler.h"

namespace platform {

namespace {

void PrintToStandardError(const std::string& text, const std::string& caption) {
    const std::string& shown = caption.empty() ? std::string(kDefaultMessageBoxCaption) : caption;
    std::fprintf(stderr, "%s: %s\n", shown.c_str(), text.c_str());
    std::fflush(stderr);
}

ReplaceableHandler<MessageBoxHandler>& Handler() {
    static ReplaceableHandler<MessageBoxHandler> handler(PrintToStandardError);
    return handler;
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption) {
    Handler().Call(text, caption);
}

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler().Set(std::move(handler)); }

}  // namespace platform
