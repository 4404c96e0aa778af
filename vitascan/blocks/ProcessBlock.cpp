#include "vitascan/blocks/ProcessBlock.h"

#include "platform/str_convert.h"
#include "vitascan/WmiQuery.h"

namespace vitascan {

std::wstring ProcessBlock::GetDescription() {
    return str::load_wstring(26546);
}

std::wstring ProcessBlock::GetXml() {
    std::wstring out = L"<processes>\r\n  <wmi>\r\n";
    {
        // COM on this thread lives for the query only.
        WmiConnection wmi;
        out += WmiRowsToXml(wmi.Query(L"SELECT * FROM Win32_Process"), L"Win32_Process", L"    ");
    }
    out += L"\r\n  </wmi>\r\n</processes>\r\n";
    return out;
}

} // namespace vitascan
