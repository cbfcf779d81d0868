#!/usr/bin/env python3
"""A line that goes away: prints the path of a fresh pseudo-terminal, waits
for the first byte written to it, then closes its far end, which hangs the
line up as the removal of a USB adapter does, and exits."""
import os
import tty

master, slave = os.openpty()
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
# Held open until the hang-up: a far end with no near end open reads EIO.
os.read(master, 1)
os.close(master)
os.close(slave)
