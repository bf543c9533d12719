#include "testbed_sysfs.h"

#include <filesystem>
#include <stdexcept>

namespace usbemu {

namespace {

std::string Take(gchar* text) {
    std::string copy = text ? text : "";
    g_free(text);
    return copy;
}

}  // namespace

TestbedSysfs::TestbedSysfs(UMockdevTestbed* testbed)
    : m_testbed(testbed),
      m_root(Take(umockdev_testbed_get_root_dir(testbed))),
      m_sysDir(Take(umockdev_testbed_get_sys_dir(testbed))) {}

void TestbedSysfs::Add(const std::string& records) {
    std::lock_guard lock(m_mutex);
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, records.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw std::runtime_error("umockdev refused the device records: " + message);
    }
}

void TestbedSysfs::Remove(const std::string& sysPath) {
    std::lock_guard lock(m_mutex);
    const std::string path = "/sys" + sysPath;
    umockdev_testbed_uevent(m_testbed, path.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, path.c_str());
}

void TestbedSysfs::Uevent(const std::string& sysPath, const char* action) {
    std::lock_guard lock(m_mutex);
    umockdev_testbed_uevent(m_testbed, ("/sys" + sysPath).c_str(), action);
}

void TestbedSysfs::SetAttribute(const std::string& sysPath, const std::string& name,
                                const std::string& value) {
    std::lock_guard lock(m_mutex);
    umockdev_testbed_set_attribute(m_testbed, ("/sys" + sysPath).c_str(), name.c_str(),
                                   value.c_str());
}

void TestbedSysfs::SetLink(const std::string& sysPath, const std::string& name,
                           const std::string& target) {
    std::lock_guard lock(m_mutex);
    umockdev_testbed_set_attribute_link(m_testbed, ("/sys" + sysPath).c_str(), name.c_str(),
                                        target.c_str());
}

void TestbedSysfs::RemoveEntry(const std::string& sysPath, const std::string& name) {
    std::lock_guard lock(m_mutex);
    std::error_code ignored;
    std::filesystem::remove(m_sysDir + sysPath + "/" + name, ignored);
}

void TestbedSysfs::Hide(const std::string& devNode) {
    std::lock_guard lock(m_mutex);
    const std::filesystem::path path = m_root + devNode;
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::filesystem::create_symlink("unplugged", path, ignored);
}

bool TestbedSysfs::Attach(const std::string& devNode, UMockdevIoctlBase* handler) {
    std::lock_guard lock(m_mutex);
    GError* error = nullptr;
    const bool ok = umockdev_testbed_attach_ioctl(m_testbed, devNode.c_str(), handler, &error);
    if (error) g_error_free(error);
    return ok;
}

void TestbedSysfs::Detach(const std::string& devNode) {
    std::lock_guard lock(m_mutex);
    GError* error = nullptr;
    umockdev_testbed_detach_ioctl(m_testbed, devNode.c_str(), &error);
    if (error) g_error_free(error);
}

int TestbedSysfs::TakePrinterMinor() {
    std::lock_guard lock(m_mutex);
    int minor = 0;
    while (m_printerMinors.count(minor)) ++minor;
    m_printerMinors.insert(minor);
    return minor;
}

void TestbedSysfs::ReturnPrinterMinor(int minor) {
    std::lock_guard lock(m_mutex);
    m_printerMinors.erase(minor);
}

}  // namespace usbemu
