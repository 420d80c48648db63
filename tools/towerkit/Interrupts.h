#pragma once
// Temporary files removed when the run is interrupted. An output is written under a temporary
// name beside its target (OutputFile.h); SIGINT, SIGTERM or SIGHUP in the middle of a long run
// would leave that file behind, gigabytes of it. Each temporary file is registered when it is
// made, its path kept as a C string in a fixed table, so that the signal handler needs nothing
// but unlink() and _exit(), which a handler may call.

#include <string>

namespace Towerkit {

// Installs the handler of SIGINT, SIGTERM and SIGHUP: it removes every registered file and ends
// the process with status 128 + the signal's number. Earlier outputs stay as they were.
void RemoveTemporariesOnInterrupt();

// Registers a temporary file; returns its slot, or -1 when the table is full or the path too
// long (the file is then only removed by the run itself).
int RegisterTemporary(const std::string& i_path);

// Forgets the file of a slot (it was renamed into place or removed); -1 does nothing.
void ForgetTemporary(int i_slot);

}  // namespace Towerkit
