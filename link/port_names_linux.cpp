#include "link/port_names.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <linux/serial.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrum {

namespace {

std::mutex folderMutex;
std::string comDeviceFolder = "/dev";

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
    std::lock_guard lock(folderMutex);
    return comDeviceFolder + "/ttyS" + std::to_string(n - 1);
}

void SetComDeviceFolder(std::string folder)
{
    std::lock_guard lock(folderMutex);
    comDeviceFolder = std::move(folder);
}

std::vector<std::string> ListPresentPorts()
{
    if (const char* pinned = std::getenv("KESTRUM_PORTS"))
        return port_listing::SplitPortList(pinned, ':');
    return port_listing::ListSysfsSerialPorts("/sys/class/tty", "/dev",
                                              port_listing::DeviceHasUart);
}

namespace port_listing {

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
            if (group != &others || hasUart(path))
                ports.push_back(path);
        }
    }
    return ports;
}

} // namespace port_listing

} // namespace kestrum
