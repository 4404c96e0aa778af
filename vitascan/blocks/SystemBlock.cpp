#include "vitascan/blocks/SystemBlock.h"

#include "platform/gtl_status.h"
#include "platform/math_convert.h"
#include "platform/str_convert.h"
#include "platform/unique_handle.h"
#include "vitascan/MarkupHelpers.h"

#include <cwchar>
#include <time.h>

namespace vitascan {

namespace system_block {

std::optional<std::wstring> GetLocaleText(LCID lcid, LCTYPE lcType) {
    const int length = ::GetLocaleInfoW(lcid, lcType, nullptr, 0);
    if (length < 1)
        return std::nullopt;
    std::wstring buffer(static_cast<size_t>(length), L'\0');
    if (::GetLocaleInfoW(lcid, lcType, buffer.data(), length) < 1)
        return std::nullopt;
    return std::wstring(buffer.c_str());
}

std::wstring FormatLocalTime(__time64_t t, const wchar_t* format) {
    if (format == nullptr || *format == L'\0')
        return {};
    struct tm local = {};
    if (::_localtime64_s(&local, &t) != 0)
        return {}; // a time the C runtime cannot convert formats like a failed wcsftime
    wchar_t buffer[128];
    const size_t length = std::wcsftime(buffer, 128, format, &local);
    // A text that does not fit fails with 0, except in Wine's C runtime, which returns the
    // whole buffer unterminated: neither leaves room for the terminator of a real result.
    if (length == 0 || length >= 128)
        return {};
    return std::wstring(buffer, length);
}

namespace {

void AddLanguageAndCountry(WmiRow& row, const std::wstring& prefix, LCID lcid) {
    // Written even when empty: the attribute says that the identifier was looked up.
    row[prefix + L"Language"] = GetLocaleText(lcid, LOCALE_SENGLANGUAGE).value_or(L"");
    row[prefix + L"Country"] = GetLocaleText(lcid, LOCALE_SENGCOUNTRY).value_or(L"");
}

} // namespace

void AddLocaleNames(WmiRow& row) {
    if (const auto found = row.find(L"OSLanguage"); found != row.end()) {
        try {
            const int id = math::impl::ConvertInt<int>::from_string(found->second);
            AddLanguageAndCountry(row, L"OSLanguage", static_cast<LCID>(id & 0xFFFF));
        } catch (const gtl::status_exception&) {
            // Not a decimal number: there is no identifier to name, so the row keeps only the
            // raw value and gets no OSLanguageLanguage/OSLanguageCountry.
        }
    }
    if (const auto found = row.find(L"Locale"); found != row.end()) {
        // Hexadecimal such as 0409; wcstol stops at the first non-hexadecimal character and
        // gives 0 when there is none.
        const std::wstring hex = L"0x" + found->second;
        const long value = std::wcstol(hex.c_str(), nullptr, 0);
        AddLanguageAndCountry(row, L"Locale", static_cast<LCID>(value & 0xFFFF));
    }
}

void AppendWmiSection(std::wstring& out, std::vector<WmiRow> operatingSystems,
                      const std::vector<WmiRow>& processors,
                      const std::vector<WmiRow>& computerSystems, bool excludePii) {
    static const std::vector<std::wstring> kNone;
    static const std::vector<std::wstring> kOperatingSystemPii = {
        L"CSName", L"Organization", L"RegisteredUser", L"SerialNumber", L"Description"};
    static const std::vector<std::wstring> kProcessorPii = {L"SystemName"};
    static const std::vector<std::wstring> kComputerSystemPii = {L"Caption",
                                                                 L"DNSHostName",
                                                                 L"Domain",
                                                                 L"Name",
                                                                 L"PrimaryOwnerContact",
                                                                 L"PrimaryOwnerName",
                                                                 L"SupportContactDescription",
                                                                 L"UserName",
                                                                 L"Workgroup"};

    for (WmiRow& row : operatingSystems)
        AddLocaleNames(row);

    out += L"  <wmi>\r\n";
    out += WmiRowsToXml(operatingSystems, L"Win32_OperatingSystem", L"    ",
                        excludePii ? kOperatingSystemPii : kNone);
    out += L"\r\n";
    out +=
        WmiRowsToXml(processors, L"Win32_Processor", L"    ", excludePii ? kProcessorPii : kNone);
    out += L"\r\n";
    out += WmiRowsToXml(computerSystems, L"Win32_ComputerSystem", L"    ",
                        excludePii ? kComputerSystemPii : kNone);
    out += L"\r\n";
    out += L"  </wmi>\r\n";
}

void AppendDotNetSection(std::wstring& out, const std::wstring& frameworkFolder) {
    out += L"  <dotnet>\r\n";
    WIN32_FIND_DATAW entry = {};
    const win::unique_find_handle search(
        ::FindFirstFileW((frameworkFolder + L"v*").c_str(), &entry));
    if (search) {
        do {
            const wchar_t* name = entry.cFileName;
            // "v" and a digit: a version folder, not a name such as "vendor".
            if (name[0] == L'\0' || name[1] < L'0' || name[1] > L'9')
                continue;
            const std::wstring base = frameworkFolder + name + L"\\";
            std::optional<std::wstring> probed = FileVersion(base + L"Mscorlib.dll");
            if (!probed)
                probed = FileVersion(base +
                                     L"Windows Communication Foundation\\System.ServiceModel.dll");
            if (!probed)
                probed = FileVersion(base + L"Windows Presentation Foundation\\NPWPF.dll");
            // None of the probe files: the folder's name says the version.
            const std::wstring version = probed ? *probed : std::wstring(name + 1);
            if (version.empty())
                continue;
            out += L"    <instance";
            AppendAttribute(out, L"version", version);
            // The format repeats the version here as it is, unescaped: keep it so.
            AppendUnescapedAttribute(out, L"description", L"Microsoft .NET Framework " + version);
            out += L"/>\r\n";
        } while (::FindNextFileW(search.get(), &entry));
    }
    out += L"  </dotnet>\r\n";
}

void AppendEnvironmentSection(std::wstring& out, const wchar_t* environmentBlock) {
    out += L"  <environment>\r\n";
    if (environmentBlock != nullptr) {
        std::vector<std::wstring> pieces;
        for (const wchar_t* entry = environmentBlock; *entry != L'\0';
             entry += std::wcslen(entry) + 1) {
            if (entry[0] == L'=') // the per-drive current folders ("=C:=C:\...")
                continue;
            const std::wstring_view text(entry);
            const std::wstring_view name = text.substr(0, text.find(L'='));
            // Exact names: a "Path" is not the "PATH".
            if (name != L"TMP" && name != L"TEMP" && name != L"PATH")
                continue;
            SplitText(pieces, text, L"=");
            out += L"    <var";
            AppendAttribute(out, L"name", name);
            // The value is cut at its first "=".
            AppendAttribute(out, L"value", pieces.size() > 1 ? pieces[1] : std::wstring());
            out += L"/>\r\n";
        }
    }
    out += L"  </environment>\r\n";
}

std::wstring MonitorLine(int width, int height, std::wstring_view monitorDescription,
                         std::wstring_view graphicsCardDescription, bool primary) {
    std::wstring line = str::snprintf(L"    <monitor width=\"%d\" height=\"%d\"", width, height);
    AppendAttribute(line, L"monitordesc", monitorDescription);
    AppendAttribute(line, L"graphicscarddesc", graphicsCardDescription);
    AppendAttribute(line, L"primary", primary ? L"yes" : L"no");
    line += L"/>\r\n";
    return line;
}

std::wstring MemoryLine(const MEMORYSTATUSEX& memory) {
    // Physical memory is rounded to 8 MiB first: firmware reserves make the raw figure a
    // little short of the installed size.
    const std::wstring ram = FormatByteSize(memory.ullTotalPhys, 0x800000);
    const std::wstring pageSize = FormatByteSize(memory.ullTotalPageFile, 0);
    const std::wstring pageAvail = FormatByteSize(memory.ullAvailPageFile, 0);
    return str::snprintf(L"  <memory rambytes=\"%lld\" ram=\"%ls\" pagesizebytes=\"%lld\" "
                         L"pagesize=\"%ls\" pageavailbytes=\"%lld\" pageavail=\"%ls\"/>\r\n",
                         static_cast<long long>(memory.ullTotalPhys), ram.c_str(),
                         static_cast<long long>(memory.ullTotalPageFile), pageSize.c_str(),
                         static_cast<long long>(memory.ullAvailPageFile), pageAvail.c_str());
}

namespace {

BOOL CALLBACK AppendMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM output) {
    // Nothing may unwind through the system's enumeration.
    try {
        MONITORINFOEXW info = {};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoW(monitor, &info);

        DISPLAY_DEVICEW device = {};
        device.cb = sizeof(device);
        ::EnumDisplayDevicesW(info.szDevice, 0, &device, 0);

        std::wstring card;
        for (DWORD i = 0;; ++i) {
            DISPLAY_DEVICEW adapter = {};
            adapter.cb = sizeof(adapter);
            if (!::EnumDisplayDevicesW(nullptr, i, &adapter, 0))
                break;
            if (std::wcsncmp(adapter.DeviceName, info.szDevice, CCHDEVICENAME) == 0)
                card = adapter.DeviceString; // the last match wins
        }

        const RECT& r = info.rcMonitor;
        *reinterpret_cast<std::wstring*>(output) +=
            MonitorLine(r.right - r.left, r.bottom - r.top, device.DeviceString, card,
                        (info.dwFlags & MONITORINFOF_PRIMARY) != 0);
    } catch (...) {
    }
    return TRUE;
}

void AppendMonitorsSection(std::wstring& out) {
    out += L"  <monitors>\r\n";
    ::EnumDisplayMonitors(nullptr, nullptr, AppendMonitor, reinterpret_cast<LPARAM>(&out));
    out += L"  </monitors>\r\n";
}

void AppendLocaleSection(std::wstring& out) {
    out += L"  <locale>\r\n";
    const LCID lcid = ::GetUserDefaultLCID();
    out += str::snprintf(L"    <user_locale LCID=\"%d\"", static_cast<int>(lcid));
    if (const auto language = GetLocaleText(lcid, LOCALE_SENGLANGUAGE))
        AppendAttribute(out, L"LOCALE_SENGLANGUAGE", *language);
    if (const auto country = GetLocaleText(lcid, LOCALE_SENGCOUNTRY))
        AppendAttribute(out, L"LOCALE_SENGCOUNTRY", *country);

    // At most three characters each; a separator that cannot be read is empty.
    auto separator = [](LCTYPE type, wchar_t(&buffer)[4]) {
        if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 4) == 0)
            buffer[0] = L'\0';
        buffer[3] = L'\0';
    };
    wchar_t list[4] = {};
    wchar_t thousands[4] = {};
    wchar_t decimal[4] = {};
    separator(LOCALE_SLIST, list);
    separator(LOCALE_STHOUSAND, thousands);
    separator(LOCALE_SDECIMAL, decimal);
    AppendAttribute(out, L"decimalsep", decimal);
    AppendAttribute(out, L"thousandssep", thousands);
    AppendAttribute(out, L"listsep", list);
    out += L"/>\r\n";
    out += L"  </locale>\r\n";
}

void AppendGeneralSection(std::wstring& out, bool excludePii) {
    std::wstring ieVersion = L"less than 4";
    ReadRegistryString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer", L"Version",
                       ieVersion);
    out += L"  <ie";
    AppendAttribute(out, L"version", ieVersion);
    out += L"/>\r\n";

    if (!excludePii) {
        const win::unique_environment_block environment(::GetEnvironmentStringsW());
        AppendEnvironmentSection(out, environment.get());
    }

    const __time64_t now = ::_time64(nullptr);
    out += L"  <time";
    AppendAttribute(out, L"time", FormatLocalTime(now, L"%H:%M:%S"));
    AppendAttribute(out, L"date", FormatLocalTime(now, L"%d/%m/%Y"));
    AppendAttribute(out, L"tz", FormatLocalTime(now, L"%Z"));
    out += L"/>\r\n";

    SYSTEM_INFO system = {};
    ::GetSystemInfo(&system);
    out += str::snprintf(
        L"  <processors count=\"%d\" type=\"%d\" architecture=\"%d\" "
        L"level=\"%d\" revision=\"%d\"/>\r\n",
        static_cast<int>(system.dwNumberOfProcessors), static_cast<int>(system.dwProcessorType),
        static_cast<int>(system.wProcessorArchitecture), static_cast<int>(system.wProcessorLevel),
        static_cast<int>(system.wProcessorRevision));

    MEMORYSTATUSEX memory = {};
    memory.dwLength = 64;
    ::GlobalMemoryStatusEx(&memory); // a failure leaves the zeros
    out += MemoryLine(memory);
}

} // namespace

} // namespace system_block

SystemBlock::SystemBlock(bool excludePii, std::uint32_t sectionMask)
    : excludePii(excludePii), sectionMask(sectionMask) {}

std::wstring SystemBlock::GetDescription() {
    return str::load_wstring(26534);
}

std::wstring SystemBlock::GetXml() {
    using namespace system_block;
    std::wstring out = L"<system>\r\n";

    if (sectionMask & kWmi) {
        // The connection (and COM on this thread) lives for this section only.
        WmiConnection wmi;
        std::vector<WmiRow> operatingSystems = wmi.Query(L"SELECT * FROM Win32_OperatingSystem");
        const std::vector<WmiRow> processors = wmi.Query(L"SELECT * FROM Win32_Processor");
        const std::vector<WmiRow> computerSystems =
            wmi.Query(L"SELECT * FROM Win32_ComputerSystem");
        AppendWmiSection(out, std::move(operatingSystems), processors, computerSystems, excludePii);
    }

    const std::wstring systemRoot = GetEnvironmentText(L"SystemRoot");

    if (sectionMask & kWindowsInstaller) {
        if (const auto version = FileVersion(systemRoot + L"\\system32\\msi.dll")) {
            out += L"  <windowsinstaller";
            AppendAttribute(out, L"version", *version);
            out += L"/>\r\n";
        }
    }

    if (sectionMask & kDotNet) // the 32-bit framework folder only
        AppendDotNetSection(out, systemRoot + L"\\Microsoft.Net\\Framework\\");

    if (sectionMask & kMonitors)
        AppendMonitorsSection(out);

    if (sectionMask & kLocale)
        AppendLocaleSection(out);

    if (sectionMask & kGeneral)
        AppendGeneralSection(out, excludePii);

    out += L"</system>\r\n";
    return out;
}

} // namespace vitascan
