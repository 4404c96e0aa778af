// The <system> block: operating system, processors and computer system from WMI, the
// installer and .NET versions, monitors, locale, and a general section (Internet Explorer,
// environment, time, processors, memory). Mask bits choose the sections.
#pragma once

#include "vitascan/IBlock.h"
#include "vitascan/WmiQuery.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace vitascan {

class SystemBlock : public IBlock {
public:
    // Section bits of the standard-group mask.
    static constexpr std::uint32_t kWmi = 0x1000;
    static constexpr std::uint32_t kWindowsInstaller = 0x2000;
    static constexpr std::uint32_t kDotNet = 0x4000;
    static constexpr std::uint32_t kMonitors = 0x8000;
    static constexpr std::uint32_t kLocale = 0x10000;
    static constexpr std::uint32_t kGeneral = 0x20000;
    static constexpr std::uint32_t kAllSections = 0x3F000;

    // excludePii leaves out identifying WMI properties and the environment section.
    SystemBlock(bool excludePii, std::uint32_t sectionMask);

    std::wstring GetDescription() override;
    std::wstring GetXml() override;

private:
    bool excludePii;
    std::uint32_t sectionMask;
};

// The system block's probes, the facts they return and the renderer that turns facts into the
// block's text.
namespace system_block {

struct WmiFacts {
    std::vector<WmiRow> operatingSystems; // with the locale names added (AddLocaleNames)
    std::vector<WmiRow> processors;
    std::vector<WmiRow> computerSystems;
};

struct Monitor {
    int width;
    int height;
    std::wstring description;
    std::wstring graphicsCard;
    bool primary;
};

struct Locale {
    LCID lcid;
    std::optional<std::wstring> language;
    std::optional<std::wstring> country;
    // At most three characters each; "" when unreadable.
    std::wstring decimalSeparator;
    std::wstring thousandsSeparator;
    std::wstring listSeparator;
};

struct General {
    // Nothing when the key or value is missing or not a string.
    std::optional<std::wstring> internetExplorerVersion;
    // The process's environment, one "name=value" entry each, in the block's order.
    std::vector<std::wstring> environment;
    // The local time as "%H:%M:%S", "%d/%m/%Y" and "%Z".
    std::wstring time;
    std::wstring date;
    std::wstring timeZone;
    SYSTEM_INFO system;
    MEMORYSTATUSEX memory;
};

// A section is present when the mask selected it.
struct Facts {
    std::optional<WmiFacts> wmi;
    // Selected, and msi.dll has a version.
    std::optional<std::wstring> installerVersion;
    // The version of each qualifying framework folder, in the platform's order; "" for one
    // that has none.
    std::optional<std::vector<std::wstring>> dotNetVersions;
    std::optional<std::vector<Monitor>> monitors;
    std::optional<Locale> locale;
    std::optional<General> general;
};

// Reads the sections that `sectionMask` selects.
Facts Probe(std::uint32_t sectionMask);

// "<system>\r\n", the sections present, "</system>\r\n". With excludePii the identifying WMI
// properties and the environment section are left out.
std::wstring Render(const Facts& facts, bool excludePii);

// The locale text, or nothing when GetLocaleInfoW cannot give it.
std::optional<std::wstring> GetLocaleText(LCID lcid, LCTYPE lcType);

// `t` as local time through wcsftime; "" for an empty format or when formatting fails.
std::wstring FormatLocalTime(__time64_t t, const wchar_t* format);
// The name of the time zone in effect at `t` that "%Z" stands for, as Windows gives it in
// wide characters (the C runtime would give code page bytes widened one by one).
std::wstring ZoneName(__time64_t t);

// Adds the English language and country names of the operating system's "OSLanguage"
// (decimal) and "Locale" (hexadecimal) to its row. An "OSLanguage" that is not a decimal
// number adds no names for it; "Locale" is read as far as it is hexadecimal.
void AddLocaleNames(WmiRow& row);

// The versions of the version folders ("v" and a digit) of a framework folder (ending with a
// backslash): a probe file's version, or the folder's name after its "v".
std::vector<std::wstring> ProbeDotNetVersions(const std::wstring& frameworkFolder);

} // namespace system_block

} // namespace vitascan
