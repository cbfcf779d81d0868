#include "link/device_watch.h"

#include "link/port_names.h"

#include <cstdlib>

namespace kestrum {

std::vector<std::string> PinnedPorts()
{
    const char* pinned = std::getenv("KESTRUM_PORTS");
    if (pinned == nullptr)
        return {};
    return port_listing::SplitPortList(pinned, kPortListSeparator);
}

bool IsAdapterNodeName(const std::string& name)
{
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
}

} // namespace kestrum
