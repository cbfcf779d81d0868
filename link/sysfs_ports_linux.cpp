#include "link/port_names.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

// The machine's serial ports as the kernel's tty class lists them.
namespace kestrum::port_listing {

bool DeviceHasUart(const std::string& devicePath)
{
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // A port held exclusively (by another program, or by our own link when
    // its controller has stopped answering) refuses to open, but it is
    // there: leaving it out would make the search miss it, and the COMn
    // names reach only ttyS devices.
    if (fd < 0)
        return errno == EBUSY;
    serial_struct info{};
    // A driver without TIOCGSERIAL is not a legacy UART driver: the port is real.
    const bool unknown = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
    ::close(fd);
    return !unknown;
}

std::optional<bool> SysfsTypeSaysUart(const std::string& ttyFolder)
{
    std::ifstream attribute(ttyFolder + "/type");
    long type = -1;
    if (!(attribute >> type) || type < 0)
        return std::nullopt;
    return type != PORT_UNKNOWN;
}

std::vector<std::string> ListSysfsSerialPorts(const std::string& classTtyFolder,
                                              const std::string& deviceFolder,
                                              const UartCheck& hasUart)
{
    namespace fs = std::filesystem;
    std::vector<std::string> usb, acm, others;
    std::error_code error;
    for (fs::directory_iterator it(classTtyFolder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        // Virtual terminals, pseudo-terminals and the console have no driver.
        std::error_code noDriver;
        if (!fs::exists(it->path() / "device" / "driver", noDriver))
            continue;
        if (name.rfind("ttyUSB", 0) == 0)
            usb.push_back(name);
        else if (name.rfind("ttyACM", 0) == 0)
            acm.push_back(name);
        else
            others.push_back(name);
    }

    std::vector<std::string> ports;
    for (auto* group : {&usb, &acm, &others}) {
        std::sort(group->begin(), group->end(), NaturalLess);
        for (const std::string& name : *group) {
            const std::string path = deviceFolder + "/" + name;
            if (group != &others) {
                ports.push_back(path);
                continue;
            }
            const std::optional<bool> uart = SysfsTypeSaysUart(classTtyFolder + "/" + name);
            if (uart ? *uart : hasUart(path))
                ports.push_back(path);
        }
    }
    return ports;
}

} // namespace kestrum::port_listing
