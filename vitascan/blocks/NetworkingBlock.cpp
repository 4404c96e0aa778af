#include "vitascan/blocks/NetworkingBlock.h"

#include "platform/str_convert.h"
#include "vitascan/Markup.h"
#include "vitascan/StringIds.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace vitascan {

namespace networking_block {

namespace {

// The fixed-size text fields of the IP Helper records are NUL-terminated in practice; never
// read past the field if one is not.
template <size_t N> std::wstring FieldText(const char (&field)[N]) {
    return str::as_wstring(std::string_view(field, ::strnlen(field, N)));
}

} // namespace

std::vector<Adapter> AdaptersFrom(const IP_ADAPTER_INFO* first) {
    std::vector<Adapter> adapters;
    for (const IP_ADAPTER_INFO* record = first; record != nullptr; record = record->Next) {
        Adapter& adapter = adapters.emplace_back();
        adapter.description = FieldText(record->Description);
        std::copy_n(record->Address, adapter.hardwareAddress.size(),
                    adapter.hardwareAddress.begin());
        for (const IP_ADDR_STRING* ip = &record->IpAddressList; ip != nullptr; ip = ip->Next)
            adapter.addresses.push_back(
                {FieldText(ip->IpAddress.String), FieldText(ip->IpMask.String)});
    }
    return adapters;
}

std::vector<Adapter> ProbeAdapters() {
    ULONG size = 0;
    if (::GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW)
        return {};
    // Records hold pointers: keep the buffer aligned for them.
    std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO) + 1);
    size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
    if (::GetAdaptersInfo(buffer.data(), &size) != ERROR_SUCCESS)
        return {};
    return AdaptersFrom(buffer.data());
}

std::wstring Render(const std::vector<Adapter>& adapters) {
    std::wstring xml;
    MarkupWriter out(xml, LineEnd::CrLf);
    out.StartElementLine(0, L"networking");
    for (const Adapter& adapter : adapters) {
        const std::array<BYTE, 6>& a = adapter.hardwareAddress;
        out.Indent(2)
            .Open(L"adapter")
            .Attribute(L"description", adapter.description)
            .Attribute(L"address", str::snprintf(L"%02x-%02x-%02x-%02x-%02x-%02x", a[0], a[1], a[2],
                                                 a[3], a[4], a[5]))
            .EndStartTag()
            .EndLine();
        for (const IpAddress& ip : adapter.addresses) {
            if (ip.address == L"0.0.0.0")
                continue;
            // The dotted texts go in as the IP Helper gives them: the format never escapes
            // them, and it puts a blank before "/>" here.
            out.Indent(4)
                .Open(L"ip")
                .Attribute(L"v", L"4")
                .RawAttribute(L"address", ip.address)
                .RawAttribute(L"mask", ip.mask)
                .SpacedSelfClose()
                .EndLine();
        }
        out.EndElementLine(2, L"adapter");
    }
    out.EndElementLine(0, L"networking");
    return xml;
}

} // namespace networking_block

std::wstring NetworkingBlock::GetDescription() {
    return str::load_wstring(IDS_NETWORKING_STEP);
}

std::wstring NetworkingBlock::GetXml() {
    return networking_block::Render(networking_block::ProbeAdapters());
}

} // namespace vitascan
