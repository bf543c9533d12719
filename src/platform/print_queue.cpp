#include "platform/print_queue.h"

namespace platform {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

PrintQueue::PrintQueue(std::unique_ptr<PrintChannel> channel) : m_channel(std::move(channel)) {}

PrintQueue::~PrintQueue() {
    if (m_inDocument) EndDocument();
}

bool PrintQueue::StartDocument(const std::string&, const std::string&) {
    if (m_inDocument) return false;  // one document at a time
    m_inDocument = m_channel->Start();
    m_failed = !m_inDocument;
    if (!m_inDocument) m_channel->Finish(false);
    m_buffer.clear();
    m_buffer.reserve(kBufferSize);
    return m_inDocument;
}

bool PrintQueue::StartPage() {
    if (!m_inDocument) return false;
    m_inPage = true;
    return true;
}

bool PrintQueue::Write(const void* data, std::size_t length) {
    if (!m_inPage || m_failed) return false;
    const char* bytes = static_cast<const char*>(data);
    if (m_buffer.size() + length < kBufferSize) {
        m_buffer.insert(m_buffer.end(), bytes, bytes + length);
        return true;
    }
    // What is buffered goes first; a write of a buffer's worth or more then
    // goes out as it is rather than through the buffer.
    if (!Flush()) return false;
    if (length < kBufferSize) {
        m_buffer.insert(m_buffer.end(), bytes, bytes + length);
        return true;
    }
    return Send(bytes, length);
}

bool PrintQueue::Flush() {
    const bool sent = Send(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return sent;
}

bool PrintQueue::Send(const char* bytes, std::size_t length) {
    if (m_failed) return false;
    if (length > 0 && !m_channel->Send(bytes, length, m_abandon)) m_failed = true;
    return !m_failed;
}

bool PrintQueue::EndPage() {
    if (!m_inPage) return false;
    m_inPage = false;
    return Flush();
}

bool PrintQueue::EndDocument() {
    if (!m_inDocument) return false;
    if (m_inPage) EndPage();
    const bool flushed = Flush();
    m_inDocument = false;
    // A document with a failed write is given up whole.
    return m_channel->Finish(flushed) && flushed;
}

}  // namespace platform
