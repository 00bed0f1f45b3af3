#pragma once

// Sets the socket's receive and send buffers to 4096 bytes each. 0, also for
// a file port (which it leaves alone), or -1 after recording the error.
int SetBuffers(int port);
