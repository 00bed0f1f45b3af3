#pragma once

// How many files and sockets the process may hold open at once (on POSIX the
// soft RLIMIT_NOFILE, "ulimit -n"). A limit the system does not set, or one
// above INT_MAX, reads as INT_MAX; Windows sets none that a few dozen
// sockets could reach, and reads as INT_MAX too.
int OpenDescriptorLimit();
