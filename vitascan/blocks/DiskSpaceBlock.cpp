#include "vitascan/blocks/DiskSpaceBlock.h"

#include "platform/str_convert.h"
#include "vitascan/MarkupHelpers.h"

#include <cwchar>
#include <vector>

#include <windows.h>

namespace vitascan {

std::wstring DiskSpaceBlock::GetDescription() {
    return str::load_wstring(26535);
}

std::wstring DiskSpaceBlock::GetXml() {
    std::wstring xml = L"<disks>\n";

    // One extra NUL beyond what the platform asks for, so that the walk below always finds
    // the empty string that ends the list, even if the second call wrote nothing.
    const DWORD length = ::GetLogicalDriveStringsW(0, nullptr);
    std::vector<wchar_t> drives(static_cast<size_t>(length) + 1, L'\0');
    const DWORD written = ::GetLogicalDriveStringsW(length, drives.data());
    if (written == 0 || written > length)
        drives.assign(1, L'\0'); // the list grew in between: nothing trustworthy to walk

    for (const wchar_t* drive = drives.data(); *drive != L'\0'; drive += std::wcslen(drive) + 1) {
        if (::GetDriveTypeW(drive) != DRIVE_FIXED)
            continue;
        // A drive that does not answer (not ready, gone) reports zeros.
        ULARGE_INTEGER available{}, total{}, totalFree{};
        if (!::GetDiskFreeSpaceExW(drive, &available, &total, &totalFree))
            available.QuadPart = totalFree.QuadPart = 0;

        xml += L"  <disk type=\"fixed\"";
        AppendAttribute(xml, L"drive", drive);
        xml += str::snprintf(L" totalfreebytes=\"%lld\" totalavailablebytes=\"%lld\"",
                             static_cast<long long>(totalFree.QuadPart),
                             static_cast<long long>(available.QuadPart));
        xml += str::snprintf(L" totalfree=\"%ls\" totalavailable=\"%ls\"",
                             FormatByteSize(totalFree.QuadPart, 0).c_str(),
                             FormatByteSize(available.QuadPart, 0).c_str());
        xml += L"/>\n";
    }

    xml += L"</disks>\n";
    return xml;
}

} // namespace vitascan
