#include "vitascan/blocks/DiskSpaceBlock.h"

#include "platform/str_convert.h"
#include "vitascan/Markup.h"
#include "vitascan/StringIds.h"

#include <cwchar>

#include <windows.h>

namespace vitascan {

namespace disk_space_block {

std::vector<Drive> ProbeDrives() {
    // One extra NUL beyond what the platform asks for, so that the walk below always finds
    // the empty string that ends the list, even if the second call wrote nothing.
    const DWORD length = ::GetLogicalDriveStringsW(0, nullptr);
    std::vector<wchar_t> roots(static_cast<size_t>(length) + 1, L'\0');
    const DWORD written = ::GetLogicalDriveStringsW(length, roots.data());
    if (written == 0 || written > length)
        return {}; // the list grew in between: nothing trustworthy to walk

    std::vector<Drive> drives;
    for (const wchar_t* root = roots.data(); *root != L'\0'; root += std::wcslen(root) + 1) {
        if (::GetDriveTypeW(root) != DRIVE_FIXED)
            continue;
        ULARGE_INTEGER available{}, total{}, totalFree{};
        if (!::GetDiskFreeSpaceExW(root, &available, &total, &totalFree))
            available.QuadPart = totalFree.QuadPart = 0;
        drives.push_back({root, totalFree.QuadPart, available.QuadPart});
    }
    return drives;
}

std::wstring Render(const std::vector<Drive>& drives) {
    std::wstring xml;
    MarkupWriter out(xml, LineEnd::Lf);
    out.StartElementLine(0, L"disks");
    for (const Drive& drive : drives) {
        // The byte counts are written as signed 64-bit numbers.
        out.Indent(2)
            .Open(L"disk")
            .Attribute(L"type", L"fixed")
            .Attribute(L"drive", drive.root)
            .Number(L"totalfreebytes", static_cast<std::int64_t>(drive.totalFreeBytes))
            .Number(L"totalavailablebytes", static_cast<std::int64_t>(drive.availableBytes))
            .Attribute(L"totalfree", FormatByteSize(drive.totalFreeBytes, 0))
            .Attribute(L"totalavailable", FormatByteSize(drive.availableBytes, 0))
            .SelfClose()
            .EndLine();
    }
    out.EndElementLine(0, L"disks");
    return xml;
}

} // namespace disk_space_block

std::wstring DiskSpaceBlock::GetDescription() {
    return str::load_wstring(IDS_DISK_SPACE_STEP);
}

std::wstring DiskSpaceBlock::GetXml() {
    return disk_space_block::Render(disk_space_block::ProbeDrives());
}

} // namespace vitascan
