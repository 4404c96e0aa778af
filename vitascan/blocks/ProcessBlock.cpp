#include "vitascan/blocks/ProcessBlock.h"

#include "platform/str_convert.h"
#include "vitascan/StringIds.h"

namespace vitascan {

namespace process_block {

std::vector<WmiRow> ProbeProcesses() {
    // COM on this thread lives for the query only.
    WmiConnection wmi;
    return wmi.Query(L"SELECT * FROM Win32_Process");
}

std::wstring Render(const std::vector<WmiRow>& processes) {
    std::wstring xml;
    MarkupWriter out(xml, LineEnd::CrLf);
    out.StartElementLine(0, L"processes").StartElementLine(2, L"wmi");
    WriteWmiRows(out, processes, L"Win32_Process", L"    ");
    out.EndLine().EndElementLine(2, L"wmi").EndElementLine(0, L"processes");
    return xml;
}

} // namespace process_block

std::wstring ProcessBlock::GetDescription() {
    return str::load_wstring(IDS_PROCESSES_STEP);
}

std::wstring ProcessBlock::GetXml() {
    return process_block::Render(process_block::ProbeProcesses());
}

} // namespace vitascan
