#include "link/recording_driver.h"

#include <algorithm>
#include <cstring>

namespace {
RecordingDriver g_driver;

bool TakeFailure(std::uint8_t opcode) {
    if (auto o = g_driver.outcomes.find(opcode);
        o != g_driver.outcomes.end() && !o->second.empty()) {
        const bool ok = o->second.front();
        o->second.erase(o->second.begin());
        return !ok;
    }
    auto it = g_driver.failures.find(opcode);
    if (it == g_driver.failures.end() || it->second == 0) return false;
    if (it->second > 0) --it->second;
    return true;
}
}  // namespace

extern "C" {

__attribute__((visibility("default"))) RecordingDriver* RecordingDriverInstance() {
    return &g_driver;
}

__attribute__((visibility("default"))) int Open(const char* name, std::uint32_t access,
                                                std::uint32_t share, void* security,
                                                std::uint32_t disposition, std::uint32_t flags,
                                                void* templ) {
    std::lock_guard lock(g_driver.mutex);
    g_driver.opens.push_back({name ? name : "(null)", access, share, disposition, flags,
                              security == nullptr, templ == nullptr});
    return g_driver.openResult;
}

__attribute__((visibility("default"))) int DevIoCtl(std::uint32_t code, void* request,
                                                    std::uint32_t requestLength, void* reply,
                                                    std::uint32_t replyLength,
                                                    std::uint32_t* returned, void* overlapped) {
    std::unique_lock lock(g_driver.mutex);
    if (request && requestLength > 0 &&
        static_cast<const std::uint8_t*>(request)[0] == g_driver.hangOpcode) {
        g_driver.hanging = true;
        g_driver.hangChanged.wait(lock, [&] { return g_driver.hangOpcode == -1; });
        g_driver.hanging = false;
    }
    RecordedCall call;
    call.code = code;
    const auto* bytes = static_cast<const std::uint8_t*>(request);
    call.request.assign(bytes, bytes + requestLength);
    call.replyLength = replyLength;
    call.returnedWasZeroed = returned && *returned == 0;
    call.overlappedWasNull = overlapped == nullptr;
    const std::uint8_t opcode = call.Opcode();
    g_driver.calls.push_back(std::move(call));
    if (TakeFailure(opcode)) return 0;

    std::vector<std::uint8_t> answer;
    if (opcode == 0x02) {
        const bool busy = g_driver.busyPolls > 0;
        answer = {busy ? static_cast<std::uint8_t>(1 + (g_driver.busyPolls % 2))
                       : g_driver.doneByte};
        if (busy) --g_driver.busyPolls;
    } else if (auto it = g_driver.replies.find(opcode); it != g_driver.replies.end()) {
        answer = it->second;
    }
    auto* out = static_cast<std::uint8_t*>(reply);
    if (out && replyLength > 0) {
        std::memset(out, 0, replyLength);
        const std::size_t n = std::min<std::size_t>(answer.size(), replyLength);
        if (n > 0) std::memcpy(out, answer.data(), n);
    }
    if (returned) *returned = replyLength;
    return g_driver.successResult;
}

__attribute__((visibility("default"))) int Close() {
    std::lock_guard lock(g_driver.mutex);
    ++g_driver.closeCount;
    return g_driver.closeResult;
}

__attribute__((visibility("default"))) int Write(const void* data, std::uint32_t length,
                                                 std::uint32_t* written, void*) {
    std::string taken;
    std::function<void(const std::string&)> onWrite;
    int result;
    {
        std::lock_guard lock(g_driver.mutex);
        result = g_driver.writeResult;
        std::size_t count = 0;
        if (result == 1) {
            count = std::min<std::size_t>(length, g_driver.writeLimit);
            g_driver.jobBytes += count;
            if (g_driver.keepJobData) {
                taken.assign(static_cast<const char*>(data), count);
                g_driver.jobData += taken;
            }
        }
        if (written) *written = static_cast<std::uint32_t>(count);
        onWrite = g_driver.onWrite;
    }
    if (onWrite && !taken.empty()) onWrite(taken);
    return result;
}

__attribute__((visibility("default"))) int Read() { return 0; }
__attribute__((visibility("default"))) int ReadSlot() { return 0; }
__attribute__((visibility("default"))) int WriteSlot() { return 0; }
__attribute__((visibility("default"))) int StatusSlot() { return 0; }
__attribute__((visibility("default"))) int VersionSlot() { return 0; }

}  // extern "C"
