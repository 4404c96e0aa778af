// The <processes> block: every running process with all of its Win32_Process properties.
#pragma once

#include "vitascan/IBlock.h"

#include <string>

namespace vitascan {

class ProcessBlock : public IBlock {
public:
    std::wstring GetDescription() override;
    std::wstring GetXml() override;
};

} // namespace vitascan
