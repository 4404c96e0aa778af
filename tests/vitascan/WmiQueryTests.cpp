#include "vitascan/WmiQuery.h"

#include "platform/str_convert.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

using vitascan::VariantToText;
using vitascan::WmiConnection;
using vitascan::WmiRow;
using vitascan::WmiRowsToXml;

TEST(WmiRowsToXml, OrdinalOrderEscapingLineBreaksAndExactExclusion) {
    // Code-unit order puts "OSLanguage" before "Organization" (a case-insensitive sort would
    // not), whatever order the properties were reported in. Names are the machine's: escaped.
    const std::vector<WmiRow> rows = {
        {{L"Organization", L"A & B <x> \"q\""}, {L"OSLanguage", L"1033"}, {L"Caption", L""}},
        {{L"b<", L"2"}, {L"a", L"caf\u00e9"}},
    };
    EXPECT_EQ(WmiRowsToXml(rows, L"E", L"  "),
              L"  <E Caption=\"\" OSLanguage=\"1033\" Organization=\"A &amp; B &lt;x&gt; "
              L"&quot;q&quot;\"/>\r\n  <E a=\"caf&#233;\" b&lt;=\"2\"/>");
    const std::vector<WmiRow> pc = {{{L"Name", L"pc"}, {L"UserName", L"me"}}};
    EXPECT_EQ(WmiRowsToXml(pc, L"C", L"  ", {L"Name", L"UserName"}), L"  <C/>");
    EXPECT_EQ(WmiRowsToXml(pc, L"C", L"", {L"name", L"User"}), L"<C Name=\"pc\" UserName=\"me\"/>");
}

TEST(VariantToText, EveryTypeOfTheTableAndEmptyForOthers) {
    auto text = [](VARTYPE type, const std::function<void(VARIANT&)>& fill) {
        win::unique_variant v;
        v.get()->vt = type;
        fill(*v.get());
        return VariantToText(*v.get());
    };
    // A string up to its first NUL.
    EXPECT_EQ(text(VT_BSTR, [](VARIANT& v) { v.bstrVal = ::SysAllocStringLen(L"ab\0cd", 5); }),
              L"ab");
    EXPECT_EQ(text(VT_BSTR, [](VARIANT& v) { v.bstrVal = nullptr; }), L"");
    EXPECT_EQ(text(VT_I2, [](VARIANT& v) { v.iVal = -32768; }), L"-32768");
    EXPECT_EQ(text(VT_I4, [](VARIANT& v) { v.lVal = -2147483647 - 1; }), L"-2147483648");
    EXPECT_EQ(text(VT_UI1, [](VARIANT& v) { v.bVal = 255; }), L"255");
    EXPECT_EQ(text(VT_UI2, [](VARIANT& v) { v.uiVal = 65535; }), L"65535");
    EXPECT_EQ(text(VT_UI4, [](VARIANT& v) { v.ulVal = 4294967295u; }), L"4294967295");
    // Single precision shows at most 7 significant digits, double precision 16.
    EXPECT_EQ(text(VT_R4, [](VARIANT& v) { v.fltVal = 0.1f; }), L"0.1");
    EXPECT_EQ(text(VT_R8, [](VARIANT& v) { v.dblVal = 1.0 / 3; }), L"0.3333333333333333");
    EXPECT_EQ(text(VT_DATE, [](VARIANT& v) { v.date = 45000.5; }), L"date");
    EXPECT_EQ(text(VT_BOOL, [](VARIANT& v) { v.boolVal = 1; }), L"TRUE");
    EXPECT_EQ(text(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; }), L"FALSE");
    EXPECT_EQ(text(VT_EMPTY, [](VARIANT&) {}), L"");
    EXPECT_EQ(text(VT_I8, [](VARIANT& v) { v.llVal = 5; }), L"");
    EXPECT_EQ(text(VT_CY, [](VARIANT& v) { v.cyVal.int64 = 50000; }), L"");
    // String arrays whatever their lower bound; arrays of anything else are empty.
    auto strings = [&](const std::vector<std::wstring>& items, LONG lowerBound) {
        return text(VT_ARRAY | VT_BSTR, [&](VARIANT& v) {
            SAFEARRAYBOUND bound = {static_cast<ULONG>(items.size()), lowerBound};
            v.parray = ::SafeArrayCreate(VT_BSTR, 1, &bound);
            for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
                LONG index = lowerBound + i;
                const win::unique_bstr item(::SysAllocString(items[i].c_str()));
                ::SafeArrayPutElement(v.parray, &index, item.get()); // stores a copy
            }
        });
    };
    EXPECT_EQ(strings({L"a", L"b c", L"", L"d"}, 5), L"a,b c,,d");
    EXPECT_EQ(strings({}, 0), L"");
    EXPECT_EQ(text(VT_ARRAY | VT_BSTR, [](VARIANT& v) { v.parray = nullptr; }), L"");
    EXPECT_EQ(text(VT_ARRAY | VT_I4,
                   [](VARIANT& v) {
                       SAFEARRAYBOUND bound = {2, 0};
                       v.parray = ::SafeArrayCreate(VT_I4, 1, &bound);
                   }),
              L"");
}

TEST(WmiConnection, QueriesTheLocalMachine) {
    gtl::status connected = gtl::status::error(L"not set");
    WmiConnection wmi(&connected);
    ASSERT_TRUE(connected.ok()) << str::as_cstring(connected.message());
    ASSERT_TRUE(wmi.IsConnected());

    const auto systems = wmi.Query(L"SELECT * FROM Win32_OperatingSystem");
    ASSERT_EQ(systems.size(), 1u);
    EXPECT_FALSE(systems[0].at(L"Caption").empty());
    EXPECT_EQ(systems[0].count(L"__CLASS"), 0u); // system properties are left out
    EXPECT_EQ(systems[0].count(L"__PATH"), 0u);

    // The running processes, this report's own among them, are shown end to end.
    EXPECT_TRUE(wmi.Query(L"SELECT * FROM Win32_NoSuchClass").empty());
    EXPECT_TRUE(wmi.Query(L"this is not WQL").empty());
}

// COM is the connection's for its lifetime only: the multithreaded apartment while it lives,
// nothing afterwards. On a thread already in a single-threaded apartment, as a caller's UI
// thread would be, it fails at its first step and leaves the caller's COM alone. A thread of
// its own keeps that COM state out of the other tests.
TEST(WmiConnection, HoldsComForItsLifetimeOnlyAndNeverTakesTheCallers) {
    HRESULT whileConnected = S_OK, afterwards = S_OK, stillOurs = E_FAIL;
    gtl::status connected;
    bool isConnected = true;
    size_t rows = 99;
    std::thread([&] {
        {
            WmiConnection wmi;
            whileConnected = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(whileConnected))
                ::CoUninitialize();
        }
        afterwards = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(afterwards))
            return;
        {
            WmiConnection wmi(&connected);
            isConnected = wmi.IsConnected();
            rows = wmi.Query(L"SELECT * FROM Win32_OperatingSystem").size();
        }
        stillOurs = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ::CoUninitialize();
        ::CoUninitialize();
    }).join();
    EXPECT_EQ(whileConnected, RPC_E_CHANGED_MODE);
    EXPECT_EQ(afterwards, S_OK);
    EXPECT_EQ(connected.message(), L"Failed CoInitializeEx");
    EXPECT_FALSE(isConnected);
    EXPECT_EQ(rows, 0u);
    EXPECT_EQ(stillOurs, S_FALSE);
}

} // namespace
