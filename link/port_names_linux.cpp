#include "link/port_names.h"

#include <string>

namespace kestrum {

namespace {

// "COMn" with n from 1 to 256 gives n, anything else 0.
unsigned ComNumber(const std::string& name)
{
    if (!IsAcceptablePortName(name) || name.size() > 3 + 3)
        return 0;
    const unsigned n = static_cast<unsigned>(std::stoul(name.substr(3)));
    return n >= 1 && n <= 256 ? n : 0;
}

} // namespace

std::string DevicePathForPortName(const std::string& name)
{
    const unsigned n = ComNumber(name);
    if (n == 0)
        return name;
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::vector<std::string> ListPresentPorts()
{
    return port_listing::ListSysfsSerialPorts("/sys/class/tty", "/dev",
                                              port_listing::DeviceHasUart);
}

} // namespace kestrum
