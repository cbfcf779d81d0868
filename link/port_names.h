#pragma once

#include <string>
#include <string_view>
#include <vector>

// Names of serial ports as the search uses them ("COM%d", listed devices)
// and how a name reaches the platform's device.
namespace kestrum {

// A listed name is taken only if it is "COM" (any case) followed by digits.
bool IsAcceptablePortName(std::string_view name);

// The serial ports present on this machine, in search order. When the
// environment variable KESTRUM_PORTS is set, exactly its entries (':'
// separated on POSIX, ';' on Windows), in order.
std::vector<std::string> ListPresentPorts();

// The device path that opening `name` uses. On Windows the name as it is; on
// POSIX "COMn" maps to <folder>/ttyS(n-1), and any other name is a path.
std::string DevicePathForPortName(const std::string& name);

// Where the "COMn" names lead on POSIX ("/dev" by default). Tests point it at
// a temporary folder so that no test ever opens the host's serial ports.
void SetComDeviceFolder(std::string folder);

} // namespace kestrum
