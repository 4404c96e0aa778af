// The <processes> block: every running process with all of its Win32_Process properties.
#pragma once

#include "vitascan/IBlock.h"
#include "vitascan/WmiQuery.h"

#include <string>
#include <vector>

namespace vitascan {

class ProcessBlock : public IBlock {
public:
    std::wstring GetDescription() override;
    std::wstring GetXml() override;
};

namespace process_block {

// One row per running process; none when WMI cannot be reached.
std::vector<WmiRow> ProbeProcesses();

// "<processes>\r\n  <wmi>\r\n", one line per process (every line ended), "  </wmi>\r\n
// </processes>\r\n"; no process leaves one empty line.
std::wstring Render(const std::vector<WmiRow>& processes);

} // namespace process_block

} // namespace vitascan
