// The network adapters with their hardware address and IPv4 addresses.
#pragma once

#include "vitascan/IBlock.h"

#include <array>
#include <string>
#include <vector>

#include <winsock2.h>

#include <iphlpapi.h>

namespace vitascan {

class NetworkingBlock : public IBlock {
public:
    std::wstring GetDescription() override;
    std::wstring GetXml() override;
};

namespace networking_block {

struct IpAddress {
    std::wstring address; // dotted text, "0.0.0.0" for none
    std::wstring mask;
};

struct Adapter {
    std::wstring description;
    std::array<BYTE, 6> hardwareAddress; // six bytes, whatever the record's length says
    std::vector<IpAddress> addresses;    // in the order of the record's chain
};

// The adapters of the chain of records starting at `first`.
std::vector<Adapter> AdaptersFrom(const IP_ADAPTER_INFO* first);

// The machine's adapters as the IP Helper lists them; none when it gives no answer.
std::vector<Adapter> ProbeAdapters();

// "<networking>\r\n", one <adapter> element per adapter with an <ip> line per address other
// than 0.0.0.0, "</networking>\r\n".
std::wstring Render(const std::vector<Adapter>& adapters);

} // namespace networking_block

} // namespace vitascan
