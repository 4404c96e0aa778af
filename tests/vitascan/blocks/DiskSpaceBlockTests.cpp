#include "vitascan/blocks/DiskSpaceBlock.h"

#include "vitascan/MarkupHelpers.h"

#include <algorithm>
#include <cstdlib>
#include <regex>

#include <gtest/gtest.h>

namespace {

TEST(DiskSpaceBlock, ListsFixedDrivesWithTheirFreeSpace) {
    ULARGE_INTEGER available{}, total{}, totalFree{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &available, &total, &totalFree));
    const std::wstring xml = vitascan::DiskSpaceBlock().GetXml();

    const std::wregex line(L"  <disk type=\"fixed\" drive=\"([A-Z]:\\\\)\" "
                           L"totalfreebytes=\"(\\d+)\" totalavailablebytes=\"(\\d+)\" "
                           L"totalfree=\"([^\"]+)\" totalavailable=\"([^\"]+)\"/>\n");
    std::vector<std::wstring> drives;
    for (std::wsregex_iterator it(xml.begin(), xml.end(), line), end; it != end; ++it) {
        const std::wsmatch& match = *it;
        drives.push_back(match[1].str());
        const unsigned long long free = std::stoull(match[2].str());
        const unsigned long long usable = std::stoull(match[3].str());
        EXPECT_EQ(match[4].str(), vitascan::FormatByteSize(free, 0));
        EXPECT_EQ(match[5].str(), vitascan::FormatByteSize(usable, 0));
        EXPECT_EQ(::GetDriveTypeW(drives.back().c_str()), static_cast<UINT>(DRIVE_FIXED));
        // C: has a real figure: the same as a moment ago, give or take other writers.
        if (drives.back() == L"C:\\") {
            EXPECT_LT(std::llabs(static_cast<long long>(free - totalFree.QuadPart)), 1LL << 30);
            EXPECT_LT(std::llabs(static_cast<long long>(usable - available.QuadPart)), 1LL << 30);
            EXPECT_GT(free, 0u);
        }
    }
    // Under Wine C: is the prefix's drive_c and Z: the Linux root, both fixed.
    EXPECT_EQ(std::regex_replace(xml, line, L""), L"<disks>\n</disks>\n");
    EXPECT_NE(std::find(drives.begin(), drives.end(), L"C:\\"), drives.end());
    EXPECT_NE(std::find(drives.begin(), drives.end(), L"Z:\\"), drives.end());
}

} // namespace
