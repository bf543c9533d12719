#include "driver/mill_finder.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "driver/device_identity.h"
#include "driver/driver_log.h"
#include "driver/transfer_limits.h"
#include "driver/usb_result.h"

namespace usb_driver {

namespace {

constexpr std::uint8_t kPrinterClass = 7;
constexpr std::uint16_t kEnglish = 0x0409;             // when the device lists no language
constexpr std::uint8_t kPrinterClassRequestIn = 0xA1;  // class, device to host, interface
constexpr std::uint8_t kGetDeviceId = 0;
constexpr std::size_t kDeviceIdCapacity = 1024;
constexpr std::size_t kStringCapacity = 255;  // a descriptor's length is one byte

// The first altsetting of class 7 with a bulk OUT endpoint, in the active
// configuration (read from the descriptors libusb keeps: nothing is opened).
std::optional<PrinterInterface> FindPrinterInterface(libusb_device* device) {
    libusb_config_descriptor* raw = nullptr;
    if (libusb_get_active_config_descriptor(device, &raw) != 0) return std::nullopt;
    const ConfigPtr config(raw);
    PrinterInterface printer;
    printer.configValue = config->bConfigurationValue;
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) == 0) {
        for (std::uint8_t i = 0; i < descriptor.bNumConfigurations; ++i) {
            libusb_config_descriptor* other = nullptr;
            if (libusb_get_config_descriptor(device, i, &other) != 0) continue;
            const bool active = ConfigPtr(other)->bConfigurationValue == printer.configValue;
            if (active) printer.configIndex = i;
        }
    }
    for (const auto& interface : std::span(config->interface, config->bNumInterfaces)) {
        for (const auto& alt : std::span(interface.altsetting, interface.num_altsetting)) {
            if (alt.bInterfaceClass != kPrinterClass) continue;
            for (const auto& endpoint : std::span(alt.endpoint, alt.bNumEndpoints)) {
                const bool bulk = (endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) ==
                                  LIBUSB_TRANSFER_TYPE_BULK;
                const bool out =
                    (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_OUT;
                if (!bulk || !out) continue;
                printer.number = alt.bInterfaceNumber;
                printer.altSetting = alt.bAlternateSetting;
                printer.bulkOut = endpoint.bEndpointAddress;
                return printer;
            }
        }
    }
    return std::nullopt;
}

std::optional<MachinePlace> PlaceOf(libusb_device* device) {
    std::array<std::uint8_t, 7> ports{};  // USB 3 allows no deeper tree
    const int depth = libusb_get_port_numbers(device, ports.data(), ports.size());
    if (depth <= 0) return std::nullopt;
    return MachinePlace{libusb_get_bus_number(device), {ports.begin(), ports.begin() + depth}, {}};
}

// A control transfer IN of at most `capacity` bytes into `reply`, which keeps
// what came; the result is libusb's. Only Open uses it, on one thread.
int ControlIn(libusb_device_handle* handle, std::uint8_t requestType, std::uint8_t request,
              std::uint16_t value, std::uint16_t index, std::vector<std::uint8_t>& reply,
              std::size_t capacity) {
    reply.assign(capacity, 0);
    const int result =
        libusb_control_transfer(handle, requestType, request, value, index, reply.data(),
                                static_cast<std::uint16_t>(capacity), kControlTimeoutMs);
    reply.resize(static_cast<std::size_t>(std::max(result, 0)));
    return result;
}

// Reads descriptors and the device ID of one opened device.
class DeviceReader {
public:
    DeviceReader(libusb_device_handle* handle, std::string where)
        : m_handle(handle), m_where(std::move(where)) {}

    // The string descriptor `index` in the device's first language (libusb's
    // own helper waits a whole second).
    std::string String(std::uint8_t index) {
        if (index == 0) return {};
        if (!m_language) m_language = FirstLanguage();
        std::vector<std::uint8_t> reply;
        const int result = ControlIn(m_handle, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                                     static_cast<std::uint16_t>(LIBUSB_DT_STRING << 8 | index),
                                     *m_language, reply, kStringCapacity);
        if (result < 0)
            Say(MapUsbResult(result, "reading string descriptor " + std::to_string(index)).line);
        return TextOfStringDescriptor(reply);
    }

    // From sysfs while the kernel's printer driver holds the interface (it
    // fails GET_DEVICE_ID then), else asked of the device under a brief claim.
    std::string DeviceId(const MachinePlace& place, const PrinterInterface& printer) {
        if (libusb_kernel_driver_active(m_handle, printer.number) == 1)
            return DeviceIdFromSysfs(place, printer);
        const UsbResult claim = MapUsbResult(libusb_claim_interface(m_handle, printer.number),
                                             "claiming the interface to read the device ID");
        if (!claim.Ok()) {
            Say(claim.line);
            return {};
        }
        std::vector<std::uint8_t> reply;
        const int result =
            ControlIn(m_handle, kPrinterClassRequestIn, kGetDeviceId, printer.configIndex,
                      static_cast<std::uint16_t>(printer.number << 8 | printer.altSetting), reply,
                      kDeviceIdCapacity);
        libusb_release_interface(m_handle, printer.number);
        if (result < 0) Say(MapUsbResult(result, "reading the device ID").line);
        return DeviceIdOfReply(reply);
    }

private:
    std::uint16_t FirstLanguage() {
        std::vector<std::uint8_t> reply;
        ControlIn(m_handle, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                  LIBUSB_DT_STRING << 8, 0, reply, kStringCapacity);
        if (reply.size() < 4 || reply[1] != LIBUSB_DT_STRING) return kEnglish;
        return static_cast<std::uint16_t>(reply[2] | reply[3] << 8);
    }

    std::string DeviceIdFromSysfs(const MachinePlace& place, const PrinterInterface& printer) {
        namespace fs = std::filesystem;
        const fs::path interface = fs::path("/sys/bus/usb/devices") /
                                   (place.PortPath() + ":" + std::to_string(printer.configValue) +
                                    "." + std::to_string(printer.number));
        // usblp puts the attribute on the interface; its usbmisc node is the fallback.
        std::vector<fs::path> files{interface / "ieee1284_id"};
        std::error_code error;
        for (fs::directory_iterator entry(interface / "usbmisc", error), end;
             !error && entry != end; entry.increment(error)) {
            if (entry->path().filename().string().starts_with("lp"))
                files.push_back(entry->path() / "ieee1284_id");
        }
        for (const fs::path& path : files) {
            std::ifstream file(path, std::ios::binary);
            if (!file) continue;
            std::string id{std::istreambuf_iterator<char>(file), {}};
            if (id.ends_with('\n')) id.pop_back();  // sysfs ends the line
            return id;
        }
        Say("the kernel's printer driver holds the interface, and " + interface.string() +
            " has no ieee1284_id, nor has its usbmisc node");
        return {};
    }

    void Say(std::string_view line) { DriverLog::Line({m_where, ": ", line}); }

    libusb_device_handle* m_handle;
    const std::string m_where;
    std::optional<std::uint16_t> m_language;
};

// The device as a machine of `model`, or nothing (said in the log) when it
// cannot be opened or does not name itself so.
std::optional<FoundMill> Examine(libusb_device* device, const PrinterInterface& printer,
                                 MachinePlace place, std::string_view model) {
    const std::string where = place.PortPath();
    libusb_device_handle* raw = nullptr;
    const UsbResult open = MapUsbResult(libusb_open(device, &raw), "opening it");
    if (!open.Ok()) {
        DriverLog::Line({"skipping the printer-class device at ", where, ": ", open.line});
        return std::nullopt;
    }
    HandlePtr handle(raw);
    DeviceReader reader(handle.get(), where);
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(device, &descriptor);
    place.serial = reader.String(descriptor.iSerialNumber);
    const std::string product = reader.String(descriptor.iProduct);
    std::string identity = "product \"" + product + "\"";
    bool named = ContainsNoCase(product, model);
    if (!named) {
        const std::string id = reader.DeviceId(place, printer);
        identity += ", device ID \"" + id + "\"";
        named = ContainsNoCase(ModelOfDeviceId(id), model);
    }
    const std::string serial = " (serial \"" + place.serial + "\")";
    if (!named) {
        DriverLog::Line(
            {"the printer-class device at ", where, serial, " is not a ", model, ": ", identity});
        return std::nullopt;
    }
    return FoundMill{std::move(handle), printer, std::move(place),
                     std::string(model) + " at " + where + serial, identity};
}

std::string NamesOf(const std::vector<FoundMill>& mills, const FoundMill* except) {
    std::string names;
    for (const FoundMill& mill : mills) {
        if (&mill == except) continue;
        names += names.empty() ? "" : "; ";
        names += mill.name;
    }
    return names;
}

}  // namespace

std::optional<FoundMill> FindMill(libusb_context* context, std::string_view model,
                                  std::string_view wanted) {
    libusb_device** raw = nullptr;
    const ssize_t count = libusb_get_device_list(context, &raw);
    const UsbResult listed = MapUsbResult(static_cast<int>(count), "listing the USB devices");
    if (!listed.Ok()) {
        DriverLog::Line(listed.line);
        return std::nullopt;
    }
    const DeviceListPtr list(raw);

    std::vector<FoundMill> mills;
    for (libusb_device* device : std::span(list.get(), static_cast<std::size_t>(count))) {
        const auto printer = FindPrinterInterface(device);
        const auto place = printer ? PlaceOf(device) : std::nullopt;
        if (!place) continue;
        if (auto mill = Examine(device, *printer, *place, model)) mills.push_back(std::move(*mill));
    }
    std::ranges::sort(mills, InBusPortOrder, &FoundMill::place);

    std::vector<MachinePlace> places;
    std::ranges::transform(mills, std::back_inserter(places), &FoundMill::place);
    const auto chosen = ChooseMachine(places, wanted);
    if (!chosen) {
        if (mills.empty())
            DriverLog::Line({"no USB device with a printer interface names itself ", model});
        else
            DriverLog::Line(
                {"TARNWICK_USB_DEVICE=", wanted, " names none of: ", NamesOf(mills, nullptr)});
        return std::nullopt;
    }
    FoundMill& mill = mills[*chosen];
    const std::string others = NamesOf(mills, &mill);
    const bool chosenBySetting = !wanted.empty();
    DriverLog::Line({"using ", mill.name, ", ", mill.identity,
                     chosenBySetting ? ", as TARNWICK_USB_DEVICE=" : "",
                     chosenBySetting ? wanted : "", chosenBySetting ? " says" : "",
                     others.empty() ? "" : "; also found: ", others});
    return std::move(mill);
}

}  // namespace usb_driver
