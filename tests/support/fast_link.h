#pragma once

#include "link/controller.h"

#include <string>

namespace kestrum::test {

// Opens `link` on `port` with short waits, so that a silent controller or a
// reset costs milliseconds: `tries` attempts per transaction, three reset polls.
inline bool OpenFastLink(CController& link, const std::string& port, int tries)
{
    link.Timings().readWriteTries = tries;
    link.Timings().retryDelay = 30;
    link.Timings().writeDelay = 1;
    link.Timings().resetDelay = 1;
    link.Timings().resetTries = 3;
    link.Port().SetName(port);
    return link.OpenLink();
}

} // namespace kestrum::test
