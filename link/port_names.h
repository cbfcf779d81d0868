#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Names of serial ports as the search uses them ("COM%d", listed devices)
// and how a name reaches the platform's device.
namespace kestrum {

// A listed name is taken only if it is "COM" (any case) followed by digits.
bool IsAcceptablePortName(std::string_view name);

// The separator of the entries of KESTRUM_PORTS.
#ifdef _WIN32
inline constexpr char kPortListSeparator = ';';
#else
inline constexpr char kPortListSeparator = ':';
#endif

// The names the search tries after the open port, in order. When the
// environment variable KESTRUM_PORTS is set, exactly its entries: a pinned
// search goes nowhere else. Otherwise the ports present on this machine,
// then every name from COM1 to COM256.
std::vector<std::string> SearchCandidates();

// The serial ports present on this machine, in search order.
std::vector<std::string> ListPresentPorts();

// The device path that opening `name` uses. On Windows the device namespace
// form of a COM name (\\.\COM10), any other name as it is; on Linux "COMn"
// (n from 1 to 256) maps to /dev/ttyS(n-1), and any other name is a path.
std::string DevicePathForPortName(const std::string& name);

// The steps of the listing, separately callable so that tests can feed them
// a fake device tree instead of the machine's.
namespace port_listing {

// The entries of a KESTRUM_PORTS value, in order, empty entries skipped.
std::vector<std::string> SplitPortList(std::string_view list, char separator);

// `present`, then every name from COM1 to COM256; listed names come again
// there, since a listing can miss a port and a port that was busy a moment
// ago may be free now.
std::vector<std::string> WithComNames(std::vector<std::string> present);

// Whether the device at `devicePath` is a serial port with a UART behind it.
using UartCheck = std::function<bool(const std::string& devicePath)>;

// The check by opening, for ports whose type sysfs does not tell: a legacy
// 8250 port that exists in name only opens but reports the type
// PORT_UNKNOWN; one that does not open does not exist, unless it is busy
// (held exclusively by someone).
bool DeviceHasUart(const std::string& devicePath);

// Linux: the serial core's word on the tty whose sysfs folder is
// `ttyFolder`: its `type` attribute, a port type number, 0 (PORT_UNKNOWN)
// meaning no UART. Nothing when the attribute is missing or not a number.
std::optional<bool> SysfsTypeSaysUart(const std::string& ttyFolder);

// Linux: the tty devices under `classTtyFolder` (/sys/class/tty) bound to a
// driver (they have device/driver), as `deviceFolder`/NAME: first ttyUSB*,
// then ttyACM*, then the others that have a UART, each group in natural
// name order (ttyUSB2 before ttyUSB10). Whether a UART is there comes from
// sysfs; `hasUart` is asked only where sysfs has no answer, since opening a
// legacy port raises DTR and RTS on whatever hangs on it.
std::vector<std::string> ListSysfsSerialPorts(const std::string& classTtyFolder,
                                              const std::string& deviceFolder,
                                              const UartCheck& hasUart);

// Name order that reads numbers as numbers: ttyS2 < ttyS10.
bool NaturalLess(std::string_view a, std::string_view b);

} // namespace port_listing

} // namespace kestrum
