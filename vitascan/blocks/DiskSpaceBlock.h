// The fixed drives of the machine with their free space.
#pragma once

#include "vitascan/IBlock.h"

namespace vitascan {

class DiskSpaceBlock : public IBlock {
public:
    std::wstring GetDescription() override;
    // "<disks>\n", one "  <disk .../>\n" line per fixed drive in the order the platform lists
    // them, "</disks>\n".
    std::wstring GetXml() override;
};

} // namespace vitascan
