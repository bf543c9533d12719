#include "mill_options.h"

#include <stdexcept>

#include "machine/profile.h"
#include "port_path.h"

namespace usbemu {

MillOptions WithDefaults(MillOptions o) {
    if (!sim::FindProfile(o.model)) throw std::invalid_argument("unknown model: " + o.model);
    if (!ParsePortPath(o.portPath)) throw std::invalid_argument("not a port path: " + o.portPath);
    if (o.printerProtocol != 1 && o.printerProtocol != 2)
        throw std::invalid_argument("printer protocol must be 1 or 2");
    if (o.printerInterface > 31) throw std::invalid_argument("interface number above 31");
    const auto space = o.model.find(' ');
    if (o.manufacturer.empty()) o.manufacturer = o.model.substr(0, space);
    if (o.product.empty())
        o.product = space == std::string::npos ? o.model : o.model.substr(space + 1);
    if (o.serial.empty()) o.serial = "EMU-" + o.portPath;
    if (o.deviceId.empty())
        o.deviceId = "MFG:" + o.manufacturer + ";MDL:" + o.product + ";CMD:RML-1;CLS:PRINTER;";
    return o;
}

}  // namespace usbemu
