#include "vitascan/blocks/SystemBlock.h"

#include "platform/gtl_status.h"
#include "platform/math_convert.h"
#include "platform/str_convert.h"
#include "platform/unique_handle.h"
#include "vitascan/Markup.h"
#include "vitascan/Probes.h"
#include "vitascan/RegistryKeys.h"
#include "vitascan/StringIds.h"
#include "vitascan/TextHelpers.h"

#include <algorithm>
#include <cwchar>
#include <string_view>
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

std::wstring ZoneName(__time64_t t) {
    std::wstring runtime = FormatLocalTime(t, L"%Z");
    struct tm local = {};
    TIME_ZONE_INFORMATION zone = {};
    if (::_localtime64_s(&local, &t) != 0 ||
        ::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID)
        return runtime;
    const std::wstring windows = local.tm_isdst > 0 ? zone.DaylightName : zone.StandardName;
    // The C runtime keeps the zone's name in the ANSI code page and "%Z" widens its bytes one
    // by one. When that is what it gave, the name is Windows' own; otherwise (a TZ variable)
    // the runtime's text stands.
    const int size = ::WideCharToMultiByte(
        CP_ACP, 0, windows.data(), static_cast<int>(windows.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, windows.data(), static_cast<int>(windows.size()), ansi.data(),
                          size, nullptr, nullptr);
    std::wstring bytes;
    for (const char c : ansi)
        bytes.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return bytes == runtime ? windows : runtime;
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

std::vector<std::wstring> ProbeDotNetVersions(const std::wstring& frameworkFolder) {
    std::vector<std::wstring> versions;
    WIN32_FIND_DATAW entry = {};
    const win::unique_find_handle search(
        ::FindFirstFileW((frameworkFolder + L"v*").c_str(), &entry));
    if (!search)
        return versions;
    do {
        const wchar_t* name = entry.cFileName;
        // "v" and a digit: a version folder, not a name such as "vendor".
        if (name[0] == L'\0' || name[1] < L'0' || name[1] > L'9')
            continue;
        const std::wstring base = frameworkFolder + name + L"\\";
        std::optional<std::wstring> probed = FileVersion(base + L"Mscorlib.dll");
        if (!probed)
            probed =
                FileVersion(base + L"Windows Communication Foundation\\System.ServiceModel.dll");
        if (!probed)
            probed = FileVersion(base + L"Windows Presentation Foundation\\NPWPF.dll");
        // None of the probe files: the folder's name says the version.
        versions.push_back(probed ? *probed : std::wstring(name + 1));
    } while (::FindNextFileW(search.get(), &entry));
    return versions;
}

namespace {

WmiFacts ProbeWmi() {
    // The connection (and COM on this thread) lives for this section only.
    WmiConnection wmi;
    WmiFacts facts{wmi.Query(L"SELECT * FROM Win32_OperatingSystem"),
                   wmi.Query(L"SELECT * FROM Win32_Processor"),
                   wmi.Query(L"SELECT * FROM Win32_ComputerSystem")};
    for (WmiRow& row : facts.operatingSystems)
        AddLocaleNames(row);
    return facts;
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM output) {
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
        reinterpret_cast<std::vector<Monitor>*>(output)->push_back(
            {r.right - r.left, r.bottom - r.top, device.DeviceString, card,
             (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    } catch (...) {
    }
    return TRUE;
}

std::vector<Monitor> ProbeMonitors() {
    std::vector<Monitor> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

Locale ProbeLocale() {
    const LCID lcid = ::GetUserDefaultLCID();
    // At most three characters each; a separator that cannot be read is empty.
    auto separator = [](LCTYPE type) {
        wchar_t buffer[4] = {};
        if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 4) == 0)
            buffer[0] = L'\0';
        buffer[3] = L'\0';
        return std::wstring(buffer);
    };
    return {lcid,
            GetLocaleText(lcid, LOCALE_SENGLANGUAGE),
            GetLocaleText(lcid, LOCALE_SENGCOUNTRY),
            separator(LOCALE_SDECIMAL),
            separator(LOCALE_STHOUSAND),
            separator(LOCALE_SLIST)};
}

std::vector<std::wstring> ProbeEnvironment() {
    std::vector<std::wstring> entries;
    const win::unique_environment_block block(::GetEnvironmentStringsW());
    if (block)
        for (const wchar_t* entry = block.get(); *entry != L'\0'; entry += std::wcslen(entry) + 1)
            entries.emplace_back(entry);
    return entries;
}

General ProbeGeneral() {
    General general{};
    if (const win::unique_hkey key =
            reg::OpenForReading(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer"))
        general.internetExplorerVersion = reg::ReadString(key.get(), L"Version");
    general.environment = ProbeEnvironment();
    const __time64_t now = ::_time64(nullptr);
    general.time = FormatLocalTime(now, L"%H:%M:%S");
    general.date = FormatLocalTime(now, L"%d/%m/%Y");
    general.timeZone = ZoneName(now);
    ::GetSystemInfo(&general.system);
    general.memory.dwLength = 64;
    ::GlobalMemoryStatusEx(&general.memory); // a failure leaves the zeros
    return general;
}

const std::vector<std::wstring> kNone;
const std::vector<std::wstring> kOperatingSystemPii = {
    L"CSName", L"Organization", L"RegisteredUser", L"SerialNumber", L"Description"};
const std::vector<std::wstring> kProcessorPii = {L"SystemName"};
const std::vector<std::wstring> kComputerSystemPii = {L"Caption",
                                                      L"DNSHostName",
                                                      L"Domain",
                                                      L"Name",
                                                      L"PrimaryOwnerContact",
                                                      L"PrimaryOwnerName",
                                                      L"SupportContactDescription",
                                                      L"UserName",
                                                      L"Workgroup"};

void WriteWmi(MarkupWriter& out, const WmiFacts& wmi, bool excludePii) {
    out.StartElementLine(2, L"wmi");
    WriteWmiRows(out, wmi.operatingSystems, L"Win32_OperatingSystem", L"    ",
                 excludePii ? kOperatingSystemPii : kNone);
    out.EndLine();
    WriteWmiRows(out, wmi.processors, L"Win32_Processor", L"    ",
                 excludePii ? kProcessorPii : kNone);
    out.EndLine();
    WriteWmiRows(out, wmi.computerSystems, L"Win32_ComputerSystem", L"    ",
                 excludePii ? kComputerSystemPii : kNone);
    out.EndLine().EndElementLine(2, L"wmi");
}

void WriteDotNet(MarkupWriter& out, const std::vector<std::wstring>& versions) {
    out.StartElementLine(2, L"dotnet");
    for (const std::wstring& version : versions) {
        if (version.empty())
            continue;
        // Escaped like every value: a folder named "v4.0 R&D" must not spoil the document.
        out.Indent(4)
            .Open(L"instance")
            .Attribute(L"version", version)
            .Attribute(L"description", L"Microsoft .NET Framework " + version)
            .SelfClose()
            .EndLine();
    }
    out.EndElementLine(2, L"dotnet");
}

void WriteMonitors(MarkupWriter& out, const std::vector<Monitor>& monitors) {
    out.StartElementLine(2, L"monitors");
    for (const Monitor& monitor : monitors)
        out.Indent(4)
            .Open(L"monitor")
            .Number(L"width", monitor.width)
            .Number(L"height", monitor.height)
            .Attribute(L"monitordesc", monitor.description)
            .Attribute(L"graphicscarddesc", monitor.graphicsCard)
            .Attribute(L"primary", monitor.primary ? L"yes" : L"no")
            .SelfClose()
            .EndLine();
    out.EndElementLine(2, L"monitors");
}

void WriteLocale(MarkupWriter& out, const Locale& locale) {
    out.StartElementLine(2, L"locale");
    out.Indent(4).Open(L"user_locale").Number(L"LCID", static_cast<int>(locale.lcid));
    if (locale.language)
        out.Attribute(L"LOCALE_SENGLANGUAGE", *locale.language);
    if (locale.country)
        out.Attribute(L"LOCALE_SENGCOUNTRY", *locale.country);
    out.Attribute(L"decimalsep", locale.decimalSeparator)
        .Attribute(L"thousandssep", locale.thousandsSeparator)
        .Attribute(L"listsep", locale.listSeparator)
        .SelfClose()
        .EndLine();
    out.EndElementLine(2, L"locale");
}

void WriteEnvironment(MarkupWriter& out, const std::vector<std::wstring>& environment) {
    out.StartElementLine(2, L"environment");
    std::vector<std::wstring> pieces;
    for (const std::wstring& entry : environment) {
        if (entry.empty() || entry[0] == L'=') // the per-drive current folders ("=C:=C:\...")
            continue;
        const std::wstring_view name = std::wstring_view(entry).substr(0, entry.find(L'='));
        // Exact names: a "Path" is not the "PATH".
        if (name != L"TMP" && name != L"TEMP" && name != L"PATH")
            continue;
        SplitText(pieces, entry, L"=");
        // The value is cut at its first "=".
        out.Indent(4)
            .Open(L"var")
            .Attribute(L"name", name)
            .Attribute(L"value", pieces.size() > 1 ? pieces[1] : std::wstring())
            .SelfClose()
            .EndLine();
    }
    out.EndElementLine(2, L"environment");
}

void WriteGeneral(MarkupWriter& out, const General& general, bool excludePii) {
    out.Indent(2)
        .Open(L"ie")
        .Attribute(L"version", general.internetExplorerVersion.value_or(L"less than 4"))
        .SelfClose()
        .EndLine();
    if (!excludePii)
        WriteEnvironment(out, general.environment);
    out.Indent(2)
        .Open(L"time")
        .Attribute(L"time", general.time)
        .Attribute(L"date", general.date)
        .Attribute(L"tz", general.timeZone)
        .SelfClose()
        .EndLine();
    const SYSTEM_INFO& system = general.system;
    out.Indent(2)
        .Open(L"processors")
        .Number(L"count", static_cast<int>(system.dwNumberOfProcessors))
        .Number(L"type", static_cast<int>(system.dwProcessorType))
        .Number(L"architecture", static_cast<int>(system.wProcessorArchitecture))
        .Number(L"level", static_cast<int>(system.wProcessorLevel))
        .Number(L"revision", static_cast<int>(system.wProcessorRevision))
        .SelfClose()
        .EndLine();
    // Physical memory is rounded to 8 MiB first: firmware reserves make the raw figure a
    // little short of the installed size. The byte counts are signed 64-bit numbers.
    const MEMORYSTATUSEX& memory = general.memory;
    out.Indent(2)
        .Open(L"memory")
        .Number(L"rambytes", static_cast<std::int64_t>(memory.ullTotalPhys))
        .Attribute(L"ram", FormatByteSize(memory.ullTotalPhys, 0x800000))
        .Number(L"pagesizebytes", static_cast<std::int64_t>(memory.ullTotalPageFile))
        .Attribute(L"pagesize", FormatByteSize(memory.ullTotalPageFile, 0))
        .Number(L"pageavailbytes", static_cast<std::int64_t>(memory.ullAvailPageFile))
        .Attribute(L"pageavail", FormatByteSize(memory.ullAvailPageFile, 0))
        .SelfClose()
        .EndLine();
}

} // namespace

Facts Probe(std::uint32_t sectionMask) {
    Facts facts;
    if (sectionMask & SystemBlock::kWmi)
        facts.wmi = ProbeWmi();
    const std::wstring systemRoot = GetEnvironmentText(L"SystemRoot");
    if (sectionMask & SystemBlock::kWindowsInstaller)
        facts.installerVersion = FileVersion(systemRoot + L"\\system32\\msi.dll");
    if (sectionMask & SystemBlock::kDotNet) // the 32-bit framework folder only
        facts.dotNetVersions = ProbeDotNetVersions(systemRoot + L"\\Microsoft.Net\\Framework\\");
    if (sectionMask & SystemBlock::kMonitors)
        facts.monitors = ProbeMonitors();
    if (sectionMask & SystemBlock::kLocale)
        facts.locale = ProbeLocale();
    if (sectionMask & SystemBlock::kGeneral)
        facts.general = ProbeGeneral();
    return facts;
}

std::wstring Render(const Facts& facts, bool excludePii) {
    std::wstring xml;
    MarkupWriter out(xml, LineEnd::CrLf);
    out.StartElementLine(0, L"system");
    if (facts.wmi)
        WriteWmi(out, *facts.wmi, excludePii);
    if (facts.installerVersion)
        out.Indent(2)
            .Open(L"windowsinstaller")
            .Attribute(L"version", *facts.installerVersion)
            .SelfClose()
            .EndLine();
    if (facts.dotNetVersions)
        WriteDotNet(out, *facts.dotNetVersions);
    if (facts.monitors)
        WriteMonitors(out, *facts.monitors);
    if (facts.locale)
        WriteLocale(out, *facts.locale);
    if (facts.general)
        WriteGeneral(out, *facts.general, excludePii);
    out.EndElementLine(0, L"system");
    return xml;
}

} // namespace system_block

SystemBlock::SystemBlock(bool excludePii, std::uint32_t sectionMask)
    : excludePii(excludePii), sectionMask(sectionMask) {}

std::wstring SystemBlock::GetDescription() {
    return str::load_wstring(IDS_SYSTEM_STEP);
}

std::wstring SystemBlock::GetXml() {
    return system_block::Render(system_block::Probe(sectionMask), excludePii);
}

} // namespace vitascan
