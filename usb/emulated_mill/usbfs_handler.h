#pragma once
// Puts a mill behind its device node: a umockdev ioctl handler whose
// "handle-ioctl" and "client-vanished" signals go to the mill. Each signal
// connection owns a reference to the mill, so that a call umockdev's worker
// thread has begun still finds the mill after the testbed has let it go.
#include <umockdev.h>

#include <memory>
#include <string>

#include "gobject_ptr.h"

namespace usbemu {

class EmulatedMill;
class TestbedSysfs;

class UsbfsHandler {
public:
    // Throws std::runtime_error when umockdev does not take the handler.
    UsbfsHandler(TestbedSysfs& sysfs, const std::shared_ptr<EmulatedMill>& mill);
    ~UsbfsHandler();
    UsbfsHandler(const UsbfsHandler&) = delete;
    UsbfsHandler& operator=(const UsbfsHandler&) = delete;

private:
    static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer mill);
    static void OnVanished(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer mill);
    static void ReleaseMill(gpointer mill, GClosure* closure);

    TestbedSysfs& m_sysfs;
    std::string m_devNode;
    GObjectPtr<UMockdevIoctlBase> m_handler;
    gulong m_ioctlSignal = 0;
    gulong m_vanishedSignal = 0;
};

}  // namespace usbemu
