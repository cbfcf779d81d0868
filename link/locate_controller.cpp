#include "link/controller.h"
#include "link/port_names.h"

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Finding the port on which a controller answers. Renaming, closing and
// opening the port happen outside the link's lock (each probe takes it), so
// a transaction on another thread may meet a closed port and raise.
namespace kestrum {

namespace {

constexpr const char* kCannotLocate = "Cannot locate Motor controller";

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The refusals worth telling: each device once, and only ports that are
// there. Every COMn name of the fallback is tried, and on Linux the legacy
// ttyS devices refuse a user outside their group whether or not a UART is
// behind them; naming all 32 would bury the one that matters. A pinned
// search names only what the user meant, so all of it counts.
std::vector<CController::RefusedPort>
ToldRefusals(const std::vector<CController::RefusedPort>& refused, bool pinned)
{
    std::set<std::string> present;
    if (!pinned && !refused.empty())
        for (const std::string& name : ListPresentPorts())
            present.insert(DevicePathForPortName(name));
    std::set<std::string> seen;
    std::vector<CController::RefusedPort> told;
    for (const auto& port : refused) {
        const std::string device = DevicePathForPortName(port.name);
        if ((pinned || present.count(device) != 0) && seen.insert(device).second)
            told.push_back(port);
    }
    return told;
}

} // namespace

// The box's own text, then, for ports that refused us, why and what to do.
std::string CannotLocateMessage(const std::vector<CController::RefusedPort>& refused, bool named)
{
    std::vector<std::string> denied, busy;
    for (const auto& port : ToldRefusals(refused, named))
        (port.why == OpenRefusal::Denied ? denied : busy).push_back(port.name);
    std::string message = kCannotLocate;
    if (!denied.empty())
        message += "\n\nNo permission to open " + Joined(denied) +
                   ". To get it, add yourself to the serial port group:\n"
                   "    sudo usermod -aG dialout $USER\n"
                   "then log out and log in again.";
    if (!busy.empty())
        message += "\n\n" + Joined(busy) + (busy.size() == 1 ? " is" : " are") +
                   " in use by another program. Close that program and try again.";
    return message;
}

bool CController::LocateController()
{
    if (ProbeController())
        return true;
    std::vector<RefusedPort> refused;
    if (TryPorts(SearchCandidates(), &refused))
        return true;
    Notify(CannotLocateMessage(refused, std::getenv("KESTRUM_PORTS") != nullptr));
    return false;
}

bool CController::TryPorts(const std::vector<std::string>& candidates,
                           std::vector<RefusedPort>* refused)
{
    for (const std::string& name : candidates) {
        // The previous candidate stays open until here, where SetName closes it.
        port_.SetName(name);
        if (!OpenLink()) {
            const OpenRefusal why = port_.LastOpenRefusal();
            if (refused != nullptr && why != OpenRefusal::None)
                refused->push_back({name, why});
            continue;
        }
        if (ProbeController())
            return true;
    }
    return false;
}

void CController::SetNotifier(std::function<void(const std::string&)> notifier)
{
    notifier_ = std::move(notifier);
}

void CController::Notify(const std::string& message)
{
    if (notifier_)
        notifier_(message);
}

} // namespace kestrum
