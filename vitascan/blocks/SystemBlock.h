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
#include <string_view>
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

// The pieces of the system block, each rendered from what the machine reported, so that the
// block feeds them its probes and tests can feed them chosen values.
namespace system_block {

// The locale text, or nothing when GetLocaleInfoW cannot give it.
std::optional<std::wstring> GetLocaleText(LCID lcid, LCTYPE lcType);

// `t` as local time through wcsftime; "" for an empty format or when formatting fails.
std::wstring FormatLocalTime(__time64_t t, const wchar_t* format);

// Adds the English language and country names of the operating system's "OSLanguage"
// (decimal) and "Locale" (hexadecimal) to its row. An "OSLanguage" that is not a decimal
// number adds no names for it; "Locale" is read as far as it is hexadecimal.
void AddLocaleNames(WmiRow& row);

// The whole <wmi> section from the rows of Win32_OperatingSystem, Win32_Processor and
// Win32_ComputerSystem (in that order), with the identifying properties left out when
// excludePii is set.
void AppendWmiSection(std::wstring& out, std::vector<WmiRow> operatingSystems,
                      const std::vector<WmiRow>& processors,
                      const std::vector<WmiRow>& computerSystems, bool excludePii);

// The <dotnet> section for the version folders ("v" and a digit) of a framework folder
// (ending with a backslash).
void AppendDotNetSection(std::wstring& out, const std::wstring& frameworkFolder);

// The <environment> section from an environment block (NUL-separated "name=value" entries
// ending with an empty one): TMP, TEMP and PATH only, each value cut at its first "=". A null
// block gives the empty section.
void AppendEnvironmentSection(std::wstring& out, const wchar_t* environmentBlock);

// One <monitor> line.
std::wstring MonitorLine(int width, int height, std::wstring_view monitorDescription,
                         std::wstring_view graphicsCardDescription, bool primary);

// The <memory> line: raw byte counts and their sizes, physical memory rounded to 8 MiB.
std::wstring MemoryLine(const MEMORYSTATUSEX& memory);

} // namespace system_block

} // namespace vitascan
