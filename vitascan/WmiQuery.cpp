#include "vitascan/WmiQuery.h"

#include "platform/kes_diag.h"
#include "platform/math_convert.h"
#include "platform/str_convert.h"
#include "platform/unique_handle.h"

#include <algorithm>

#include <wbemidl.h>

namespace vitascan {

struct WmiConnection::State {
    // First, so that COM is uninitialised only after the interfaces below are released.
    win::unique_couninitialize_call com;
    win::com_ptr<IWbemLocator> locator;
    win::com_ptr<IWbemServices> services;
};

namespace {

// A probe that failed is logged with its code; the block still writes its default.
std::wstring WithResult(const std::wstring& what, HRESULT result) {
    return what + str::snprintf(L" (HRESULT 0x%08lX)", static_cast<unsigned long>(result));
}

} // namespace

WmiConnection::WmiConnection() : WmiConnection(nullptr) {}

WmiConnection::WmiConnection(gtl::status* connectResult) : state(std::make_unique<State>()) {
    gtl::status result = Connect();
    if (result.failed())
        state.reset(); // releases what was obtained, COM last
    if (connectResult != nullptr)
        *connectResult = std::move(result);
}

WmiConnection::~WmiConnection() = default;

gtl::status WmiConnection::Connect() {
    if (state->locator)
        return {};

    HRESULT result = S_OK;
    auto fail = [&result](const wchar_t* message) {
        KES_LOG(kes::diag::kWarning, kes::diag::kReport, WithResult(message, result));
        return gtl::status::error(message);
    };

    state->com = win::InitializeCom(COINIT_MULTITHREADED, result);
    if (!state->com)
        return fail(L"Failed CoInitializeEx");

    result = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(result))
        return fail(L"Failed to initialize security");

    result = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                state->locator.put_void());
    if (FAILED(result))
        return fail(L"Failed to find WMI locator");

    const win::unique_bstr ns(::SysAllocString(L"ROOT\\CIMV2"));
    result = state->locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                           state->services.put());
    if (FAILED(result))
        return fail(L"Failed to connect to WMI server");

    result = ::CoSetProxyBlanket(state->services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                                 nullptr, RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE,
                                 nullptr, EOAC_NONE);
    if (FAILED(result))
        return fail(L"Failed to set security levels on proxy");

    return {};
}

namespace {

// The elements of a one-dimensional SAFEARRAY of BSTR, lower to upper bound; elements that
// cannot be fetched are skipped.
template <typename Visit> void ForEachBstr(SAFEARRAY* array, Visit visit) {
    if (array == nullptr)
        return;
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(array, 1, &upper)))
        return;
    for (LONG i = lower; i <= upper; ++i) {
        win::unique_bstr element;
        if (SUCCEEDED(::SafeArrayGetElement(array, &i, element.put())))
            visit(element.get());
        if (i == upper) // upper may be the largest LONG
            break;
    }
}

// A BSTR up to its first NUL; a null BSTR is the empty string.
std::wstring BstrText(BSTR text) {
    return text != nullptr ? std::wstring(text) : std::wstring();
}

WmiRow ReadRow(IWbemClassObject* instance) {
    WmiRow row;
    win::unique_safearray names;
    if (FAILED(instance->GetNames(nullptr, WBEM_FLAG_NONSYSTEM_ONLY, nullptr, names.put())))
        return row;
    std::vector<std::wstring> nameList;
    ForEachBstr(names.get(), [&](BSTR name) { nameList.push_back(BstrText(name)); });
    names.reset();
    for (const std::wstring& name : nameList)
        if (row.find(name) == row.end()) // a repeated name keeps its first text
            row.emplace(name, VariantToText(instance, name));
    return row;
}

} // namespace

std::vector<WmiRow> WmiConnection::Query(const std::wstring& query) {
    std::vector<WmiRow> rows;
    if (!state || !state->services)
        return rows;

    const win::unique_bstr language(::SysAllocString(L"WQL"));
    const win::unique_bstr text(::SysAllocStringLen(query.data(), static_cast<UINT>(query.size())));
    win::com_ptr<IEnumWbemClassObject> enumerator;
    const HRESULT queried = state->services->ExecQuery(
        language.get(), text.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
        enumerator.put());
    if (FAILED(queried))
        KES_LOG(kes::diag::kWarning, kes::diag::kReport,
                WithResult(L"ExecQuery failed: " + query, queried));
    if (!enumerator)
        return rows;

    for (;;) {
        win::com_ptr<IWbemClassObject> instance;
        ULONG returned = 0;
        const HRESULT next = enumerator->Next(WBEM_INFINITE, 1, instance.put(), &returned);
        if (FAILED(next))
            KES_LOG(kes::diag::kWarning, kes::diag::kReport,
                    WithResult(L"Next failed: " + query, next));
        if (returned == 0 || !instance)
            break;
        rows.push_back(ReadRow(instance.get()));
    }
    return rows;
}

std::wstring VariantToText(IWbemClassObject* instance, const std::wstring& propertyName) {
    win::unique_variant value;
    if (FAILED(instance->Get(propertyName.c_str(), 0, value.put(), nullptr, nullptr)))
        return {};
    return VariantToText(*value.get());
}

std::wstring VariantToText(const VARIANT& value) {
    using math::impl::ConvertFloat;
    using math::impl::ConvertInt;
    using math::impl::RoundType;
    switch (value.vt) {
    case VT_BSTR:
        return BstrText(value.bstrVal);
    case VT_I2:
        return ConvertInt<short>::to_wstring(value.iVal);
    case VT_I4:
        return ConvertInt<int>::to_wstring(static_cast<int>(value.lVal));
    case VT_R4:
        return ConvertFloat<float>::to_string(value.fltVal, 7, RoundType::Nearest);
    case VT_R8:
        return ConvertFloat<double>::to_string(value.dblVal, 16, RoundType::Nearest);
    case VT_DATE:
        return L"date";
    case VT_BOOL:
        return value.boolVal != 0 ? L"TRUE" : L"FALSE";
    case VT_UI1:
        return ConvertInt<unsigned char>::to_wstring(value.bVal);
    case VT_UI2:
        return ConvertInt<unsigned short>::to_wstring(value.uiVal);
    case VT_UI4:
        return ConvertInt<unsigned int>::to_wstring(static_cast<unsigned int>(value.ulVal));
    case VT_ARRAY | VT_BSTR: {
        std::wstring joined;
        bool first = true;
        ForEachBstr(value.parray, [&](BSTR element) {
            if (!first)
                joined += L',';
            first = false;
            joined += BstrText(element);
        });
        return joined;
    }
    default: // VT_EMPTY, VT_NULL, VT_CY, 64-bit integers, objects, other arrays
        return {};
    }
}

void WriteWmiRows(MarkupWriter& out, const std::vector<WmiRow>& rows, std::wstring_view elementName,
                  std::wstring_view indent, const std::vector<std::wstring>& excluded) {
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0)
            out.EndLine();
        out.Indent(indent).Open(elementName);
        for (const auto& [name, text] : rows[i])
            if (std::find(excluded.begin(), excluded.end(), name) == excluded.end())
                out.AttributeNamedByMachine(name, text);
        out.SelfClose();
    }
}

std::wstring WmiRowsToXml(const std::vector<WmiRow>& rows, std::wstring_view elementName,
                          std::wstring_view indent, const std::vector<std::wstring>& excluded) {
    std::wstring xml;
    MarkupWriter out(xml, LineEnd::CrLf);
    WriteWmiRows(out, rows, elementName, indent, excluded);
    return xml;
}

} // namespace vitascan
