// Control API of the simulated libraries. The system's own libraries
// (wsock32.dll, icmp.dll, and from Windows 2000 on iphlpapi.dll) sit in the
// system directory as GetSystemDirectoryA reports it, without a file in the
// tree; they load by that full path and export the simulation's calls. Any other file the tree holds loads as a
// library that exports nothing. LoadLibraryA gives one module handle per
// library and counts references (sim::OpenHandles(HandleKind::Library)).
#pragma once

#include <string>
#include <vector>

namespace sim {

// The names LoadLibraryA was given since the last Reset, in order, as given.
const std::vector<std::string>& LibraryLoads();

}  // namespace sim
