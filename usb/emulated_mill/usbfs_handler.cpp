#include "usbfs_handler.h"

#include <stdexcept>

#include "emulated_mill.h"
#include "testbed_sysfs.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace usbemu {

namespace {

using MillRef = std::shared_ptr<EmulatedMill>;

// The mill reaches umockdev's worker thread through GLib, whose locks
// ThreadSanitizer does not see; these tell it that everything done before
// the handler was attached happened before the worker's calls.
#if defined(__SANITIZE_THREAD__)
gpointer Published(gpointer data) {
    __tsan_release(data);
    return data;
}
EmulatedMill& MillOf(gpointer data) {
    __tsan_acquire(data);
    return **static_cast<MillRef*>(data);
}
#else
gpointer Published(gpointer data) { return data; }
EmulatedMill& MillOf(gpointer data) { return **static_cast<MillRef*>(data); }
#endif

}  // namespace

UsbfsHandler::UsbfsHandler(TestbedSysfs& sysfs, const std::shared_ptr<EmulatedMill>& mill)
    : m_sysfs(sysfs), m_devNode(mill->DevNode()), m_handler(umockdev_ioctl_base_new()) {
    m_ioctlSignal =
        g_signal_connect_data(m_handler.get(), "handle-ioctl", G_CALLBACK(OnIoctl),
                              Published(new MillRef(mill)), ReleaseMill, GConnectFlags(0));
    m_vanishedSignal =
        g_signal_connect_data(m_handler.get(), "client-vanished", G_CALLBACK(OnVanished),
                              Published(new MillRef(mill)), ReleaseMill, GConnectFlags(0));
    if (!m_sysfs.Attach(m_devNode, m_handler.get())) {
        g_signal_handler_disconnect(m_handler.get(), m_ioctlSignal);
        g_signal_handler_disconnect(m_handler.get(), m_vanishedSignal);
        throw std::runtime_error("umockdev did not take the handler for " + m_devNode);
    }
}

UsbfsHandler::~UsbfsHandler() {
    m_sysfs.Detach(m_devNode);
    g_signal_handler_disconnect(m_handler.get(), m_ioctlSignal);
    g_signal_handler_disconnect(m_handler.get(), m_vanishedSignal);
}

gboolean UsbfsHandler::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer mill) {
    MillOf(mill).HandleIoctl(client);
    return TRUE;
}

void UsbfsHandler::OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer mill) {
    MillOf(mill).ClientVanished(client);
}

void UsbfsHandler::ReleaseMill(gpointer mill, GClosure*) { delete static_cast<MillRef*>(mill); }

}  // namespace usbemu
