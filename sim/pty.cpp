#include "sim/pty.h"

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace kestrum::sim {

bool OpenPtyPair(PtyPair& pair)
{
    PtyPair opened;
    opened.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (opened.master < 0)
        return false;
    std::array<char, 128> name{};
    if (grantpt(opened.master) != 0 || unlockpt(opened.master) != 0 ||
        ptsname_r(opened.master, name.data(), name.size()) != 0) {
        ClosePtyPair(opened);
        return false;
    }
    opened.slavePath = name.data();
    opened.slave = open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (opened.slave < 0 || tcgetattr(opened.slave, &tio) != 0) {
        ClosePtyPair(opened);
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    const int flags = fcntl(opened.master, F_GETFL);
    if (tcsetattr(opened.slave, TCSANOW, &tio) != 0 || flags < 0 ||
        fcntl(opened.master, F_SETFL, flags | O_NONBLOCK) != 0) {
        ClosePtyPair(opened);
        return false;
    }
    pair = opened;
    return true;
}

void ClosePtyPair(PtyPair& pair)
{
    if (pair.slave >= 0)
        close(pair.slave);
    if (pair.master >= 0)
        close(pair.master);
    pair.slave = -1;
    pair.master = -1;
}

} // namespace kestrum::sim
