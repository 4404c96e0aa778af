#include "vitascan/blocks/NetworkingBlock.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

using namespace vitascan::networking_block;

void SetAddress(IP_ADDR_STRING& entry, const char* address, const char* mask) {
    std::strcpy(entry.IpAddress.String, address);
    std::strcpy(entry.IpMask.String, mask);
}

TEST(NetworkingBlock, WritesEachAdapterWithItsIpv4Addresses) {
    IP_ADAPTER_INFO adapters[2]{};
    IP_ADDR_STRING second{};
    // Two addresses and an escaped description in the ANSI code page (0xE9 is "é" in 1252, as
    // IP Helper gives a localised name); six address bytes although the record says four.
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

    EXPECT_EQ(Render(AdaptersFrom(adapters)),
              L"<networking>\r\n"
              L"  <adapter description=\"Fast &amp; &quot;Wide&quot; caf&#233;\" "
              L"address=\"00-1a-ff-0b-c0-07\">\r\n"
              L"    <ip v=\"4\" address=\"10.0.0.5\" mask=\"255.0.0.0\" />\r\n"
              L"    <ip v=\"4\" address=\"192.168.1.20\" mask=\"255.255.255.0\" />\r\n"
              L"  </adapter>\r\n"
              L"  <adapter description=\"loopback\" address=\"00-00-00-00-00-00\">\r\n"
              L"  </adapter>\r\n</networking>\r\n");
    EXPECT_EQ(Render({}), L"<networking>\r\n</networking>\r\n");
}

} // namespace
