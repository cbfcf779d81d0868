#pragma once

#include <string>

namespace kestrum::sim {

// A pseudo-terminal pair set up as a controller's serial line: the master
// is non-blocking and close-on-exec; the slave is in raw mode, so no echo,
// line editing or CR/LF translation ever touches a byte.
//
// The simulator keeps its own slave descriptor open for as long as it serves.
// Without it, each time the tool closes the port the master would report
// hang-up (POLLHUP, reads failing with EIO) until the next open, and a poll
// loop on it would spin.
struct PtyPair
{
    int master = -1;
    int slave = -1;
    std::string slavePath;
};

// False (and nothing left open) on failure.
bool OpenPtyPair(PtyPair& pair);
void ClosePtyPair(PtyPair& pair);

} // namespace kestrum::sim
