// The fixed drives of the machine with their free space.
#pragma once

#include "vitascan/IBlock.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vitascan {

class DiskSpaceBlock : public IBlock {
public:
    std::wstring GetDescription() override;
    std::wstring GetXml() override;
};

namespace disk_space_block {

struct Drive {
    std::wstring root; // such as C:\ (with its backslash)
    std::uint64_t totalFreeBytes;
    std::uint64_t availableBytes; // free bytes the calling user may use
};

// The fixed drives in the order the platform lists them. A drive whose free space cannot be
// read (not ready, gone) reports zeros.
std::vector<Drive> ProbeDrives();

// "<disks>\n", one "  <disk .../>\n" line per drive, "</disks>\n".
std::wstring Render(const std::vector<Drive>& drives);

} // namespace disk_space_block

} // namespace vitascan
