#pragma once

// Ports of 127.0.0.1 for servers that tests start.
int freeLoopbackPort();             // free just now (0 when none could be had)
bool loopbackAccepts(int port);     // something listens there
