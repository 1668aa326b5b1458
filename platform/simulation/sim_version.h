// Control API of the version resources: a simulated file carries a
// VS_VERSIONINFO block in its binary layout, as a PE file's resource does.
#pragma once

#include "win32_api.h"

#include <string>
#include <vector>

namespace sim {

// Gives the file (which must exist) a version resource; tests build the
// block with tests/native/version_block.h. A copy of the file keeps it.
void SetVersionResource(const std::string& path, const std::vector<BYTE>& block);

}  // namespace sim
