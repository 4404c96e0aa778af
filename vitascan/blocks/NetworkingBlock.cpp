#include "vitascan/blocks/NetworkingBlock.h"

#include "platform/str_convert.h"
#include "vitascan/MarkupHelpers.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace vitascan {

namespace {

// The fixed-size text fields of the IP Helper records are NUL-terminated in practice; never
// read past the field if one is not.
template <size_t N> std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, ::strnlen(field, N));
}

} // namespace

std::wstring NetworkingBlock::GetDescription() {
    return str::load_wstring(26545);
}

void NetworkingBlock::AppendAdapters(std::wstring& xml, const IP_ADAPTER_INFO* first) {
    for (const IP_ADAPTER_INFO* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        xml += L"  <adapter";
        AppendAttribute(xml, L"description", str::as_wstring(FieldText(adapter->Description)));
        // Always six bytes, whatever AddressLength says.
        const BYTE* a = adapter->Address;
        AppendAttribute(
            xml, L"address",
            str::snprintf(L"%02x-%02x-%02x-%02x-%02x-%02x", a[0], a[1], a[2], a[3], a[4], a[5]));
        xml += L">\r\n";
        for (const IP_ADDR_STRING* ip = &adapter->IpAddressList; ip != nullptr; ip = ip->Next) {
            const std::string_view address = FieldText(ip->IpAddress.String);
            if (address == "0.0.0.0")
                continue;
            // The dotted texts go in as the IP Helper gives them; the format never escapes them.
            xml += L"    <ip v=\"4\"";
            AppendUnescapedAttribute(xml, L"address", str::as_wstring(address));
            AppendUnescapedAttribute(xml, L"mask", str::as_wstring(FieldText(ip->IpMask.String)));
            xml += L" />\r\n";
        }
        xml += L"  </adapter>\r\n";
    }
}

std::wstring NetworkingBlock::GetXml() {
    std::wstring xml = L"<networking>\r\n";
    ULONG size = 0;
    if (::GetAdaptersInfo(nullptr, &size) == ERROR_BUFFER_OVERFLOW) {
        // Records hold pointers: keep the buffer aligned for them.
        std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO) + 1);
        size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
        if (::GetAdaptersInfo(buffer.data(), &size) == ERROR_SUCCESS)
            AppendAdapters(xml, buffer.data());
    }
    xml += L"</networking>\r\n";
    return xml;
}

} // namespace vitascan
