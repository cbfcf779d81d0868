#include "link/controller.h"
#include "link/port_names.h"

#include <string>
#include <utility>
#include <vector>

// Finding the port on which a controller answers. Renaming, closing and
// opening the port happen outside the link's lock (each probe takes it), so
// a transaction on another thread may meet a closed port and raise.
namespace kestrum {

bool CController::LocateController()
{
    if (ProbeController())
        return true;
    if (TryPorts(SearchCandidates()))
        return true;
    Notify("Cannot locate Motor controller");
    return false;
}

bool CController::TryPorts(const std::vector<std::string>& candidates)
{
    for (const std::string& name : candidates) {
        // The previous candidate stays open until here, where SetName closes it.
        port_.SetName(name);
        if (!OpenLink())
            continue;
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
