// The network adapters with their hardware address and IPv4 addresses.
#pragma once

#include "vitascan/IBlock.h"

#include <string>

#include <winsock2.h>

#include <iphlpapi.h>

namespace vitascan {

class NetworkingBlock : public IBlock {
public:
    std::wstring GetDescription() override;
    // "<networking>\r\n", the adapters, "</networking>\r\n"; no adapters, or no answer from
    // the IP Helper, gives the two lines alone.
    std::wstring GetXml() override;

    // Appends one "<adapter>" element per record of the chain starting at `first`.
    static void AppendAdapters(std::wstring& xml, const IP_ADAPTER_INFO* first);
};

} // namespace vitascan
