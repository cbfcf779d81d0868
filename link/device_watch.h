#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Tells when a serial device appears (or, where the platform says so, goes
// away), so that a lost controller can be searched for again exactly when
// there is something new to find: nothing is ever sent on a timer.
//
// Linux: inotify on /dev for new ttyUSB*/ttyACM* nodes, and on the folder of
// every path named in KESTRUM_PORTS for that name appearing again; a
// symbolic link re-pointed there (replaced by a rename or re-created) counts
// as appearing, which is how a replugged adapter comes back under a udev
// alias. A node whose permissions change counts too: udev sets the group a
// moment after it creates the node, and only then can we open it.
// Windows: the device-interface notifications of the ports class, arrival
// and removal, received by a message-only window on the watch's own thread.
//
// The callbacks run on the watch's thread, never after Stop returned.
namespace kestrum {

class DeviceWatch
{
public:
    // A device appeared: its path (Linux) or its port name (Windows, "COM5").
    using Appeared = std::function<void(const std::string& name)>;
    // A device went away (Windows only; Linux sees the port hang up instead).
    using Removed = std::function<void(const std::string& name)>;

    DeviceWatch();
    ~DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    // Watches the platform's serial devices and the given pinned paths
    // (KESTRUM_PORTS entries). False when the platform refused the watch.
    bool Start(const std::vector<std::string>& pinned, Appeared appeared, Removed removed = {});
    void Stop();
    bool Running() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The entries of KESTRUM_PORTS, or nothing when it is not set.
std::vector<std::string> PinnedPorts();

// Whether a new device node name is a serial adapter worth a search
// (ttyUSB*, ttyACM*).
bool IsAdapterNodeName(const std::string& name);

} // namespace kestrum
