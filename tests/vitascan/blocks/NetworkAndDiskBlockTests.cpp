#include "vitascan/blocks/DiskSpaceBlock.h"
#include "vitascan/blocks/NetworkingBlock.h"

#include "platform/str_convert.h"
#include "vitascan/MarkupHelpers.h"

#include <algorithm>
#include <cstring>
#include <regex>

#include <gtest/gtest.h>

namespace {

using vitascan::DiskSpaceBlock;
using vitascan::NetworkingBlock;

void SetAddress(IP_ADDR_STRING& entry, const char* address, const char* mask) {
    std::strcpy(entry.IpAddress.String, address);
    std::strcpy(entry.IpMask.String, mask);
}

TEST(NetworkingBlock, WritesEachAdapterWithItsIpv4Addresses) {
    IP_ADAPTER_INFO adapters[2]{};
    IP_ADDR_STRING second{};
    // An adapter with two addresses and an escaped description in the ANSI code page (0xE9 is
    // "é" in 1252, as IP Helper would give a localised name); six address bytes although the
    // record says four.
    ASSERT_EQ(::GetACP(), 1252u) << "the test prefix is expected to use the Western code page";
    std::strcpy(adapters[0].Description, "Fast & \"Wide\" caf\xe9");
    adapters[0].AddressLength = 4;
    const BYTE address[6] = {0x00, 0x1a, 0xff, 0x0b, 0xc0, 0x07};
    std::memcpy(adapters[0].Address, address, 6);
    SetAddress(adapters[0].IpAddressList, "10.0.0.5", "255.0.0.0");
    SetAddress(second, "192.168.1.20", "255.255.255.0");
    adapters[0].IpAddressList.Next = &second;
    adapters[0].Next = &adapters[1];
    // An adapter without an IPv4 address reports 0.0.0.0: no <ip> line.
    std::strcpy(adapters[1].Description, "loopback");
    SetAddress(adapters[1].IpAddressList, "0.0.0.0", "0.0.0.0");

    std::wstring xml;
    NetworkingBlock::AppendAdapters(xml, adapters);
    EXPECT_EQ(xml, L"  <adapter description=\"Fast &amp; &quot;Wide&quot; caf&#233;\" "
                   L"address=\"00-1a-ff-0b-c0-07\">\r\n"
                   L"    <ip v=\"4\" address=\"10.0.0.5\" mask=\"255.0.0.0\" />\r\n"
                   L"    <ip v=\"4\" address=\"192.168.1.20\" mask=\"255.255.255.0\" />\r\n"
                   L"  </adapter>\r\n"
                   L"  <adapter description=\"loopback\" address=\"00-00-00-00-00-00\">\r\n"
                   L"  </adapter>\r\n");
}

TEST(NetworkingBlock, MachineAdaptersFollowTheLineFormat) {
    NetworkingBlock block;
    EXPECT_EQ(block.GetDescription(), L"Collecting network adapters");
    const std::wstring xml = block.GetXml();
    const std::wregex line(L"<networking>|</networking>|  <adapter description=\"[^\"<]*\" "
                           L"address=\"([0-9a-f]{2}-){5}[0-9a-f]{2}\">|  </adapter>|"
                           L"    <ip v=\"4\" address=\"[0-9.]+\" mask=\"[0-9.]+\" />");
    const std::vector<std::wstring> lines = str::split(xml, L"\n");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), L"<networking>\r");
    EXPECT_EQ(lines.back(), L"");
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_TRUE(vitascan::EndsWith(lines[i], L"\r"));
        EXPECT_TRUE(std::regex_match(lines[i].substr(0, lines[i].size() - 1), line)) << i;
    }
    EXPECT_EQ(lines[lines.size() - 2], L"</networking>\r");
}

TEST(DiskSpaceBlock, ListsFixedDrivesWithConsistentSpaceAttributes) {
    DiskSpaceBlock block;
    EXPECT_EQ(block.GetDescription(), L"Checking disk space");
    const std::wstring xml = block.GetXml();
    ASSERT_EQ(xml.rfind(L"<disks>\n", 0), 0u);
    ASSERT_TRUE(vitascan::EndsWith(xml, L"</disks>\n"));

    const std::wregex line(L"  <disk type=\"fixed\" drive=\"([A-Z]:\\\\)\" "
                           L"totalfreebytes=\"(\\d+)\" totalavailablebytes=\"(\\d+)\" "
                           L"totalfree=\"([^\"]+)\" totalavailable=\"([^\"]+)\"/>");
    const std::vector<std::wstring> lines = str::split(xml, L"\n");
    std::vector<std::wstring> drives;
    for (size_t i = 1; i + 2 < lines.size(); ++i) {
        std::wsmatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, line)) << i;
        drives.push_back(match[1].str());
        const unsigned long long totalFree = std::stoull(match[2].str());
        const unsigned long long available = std::stoull(match[3].str());
        EXPECT_EQ(match[4].str(), vitascan::FormatByteSize(totalFree, 0));
        EXPECT_EQ(match[5].str(), vitascan::FormatByteSize(available, 0));
        EXPECT_LE(available, totalFree);
        EXPECT_EQ(::GetDriveTypeW(drives.back().c_str()), static_cast<UINT>(DRIVE_FIXED));
    }
    // Under Wine C: is the prefix's drive_c and Z: the Linux root, both fixed.
    EXPECT_NE(std::find(drives.begin(), drives.end(), L"C:\\"), drives.end());
    EXPECT_NE(std::find(drives.begin(), drives.end(), L"Z:\\"), drives.end());
}

} // namespace
