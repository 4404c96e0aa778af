#include "vitascan/blocks/ProductsBlock.h"

#include "platform/str_convert.h"
#include "platform/sys_reg.h"
#include "platform/unique_handle.h"
#include "vitascan/MarkupHelpers.h"
#include "vitascan/RegistryKeys.h"

namespace vitascan {

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The maker's name as its installers write it into help links (case matters).
const wchar_t kMakerLinkText[] = L"korvel-ab";

// A string value of the subkey, or "" when it is missing or not a string.
std::wstring ReadText(HKEY parent, const std::wstring& subkey, const wchar_t* valueName) {
    std::wstring text;
    ReadRegistryString(parent, subkey, valueName, text);
    return text;
}

} // namespace

std::wstring ProductsBlock::GetDescription() {
    return str::load_wstring(26547);
}

std::wstring ProductsBlock::GetXml() {
    std::wstring xml = L"<products>\n";
    AppendUninstallList(xml);
    const std::wstring makerKey = sys::reg::ConcatenatePath(L"Software", L"KORVEL-AB");
    AppendMakerTree(xml, makerKey, KEY_WOW64_32KEY);
    AppendMakerTree(xml, makerKey, KEY_WOW64_64KEY);
    xml += L"</products>\n";
    return xml;
}

void ProductsBlock::AppendUninstallList(std::wstring& xml) {
    const win::unique_hkey key = reg::OpenForReading(HKEY_LOCAL_MACHINE, kUninstallKey);
    if (!key)
        return;
    reg::ForEachSubkeyName(key.get(), [&](const std::wstring& entry) {
        std::wstring helpLink;
        if (!ReadRegistryString(key.get(), entry, L"HelpLink", helpLink) ||
            helpLink.find(kMakerLinkText) == std::wstring::npos)
            return;
        const std::wstring location = ReadText(key.get(), entry, L"InstallLocation");
        if (location.empty())
            return;
        xml += L"  <product";
        AppendAttribute(xml, L"name", ReadText(key.get(), entry, L"DisplayName"));
        AppendAttribute(xml, L"installedversion", ReadText(key.get(), entry, L"DisplayVersion"));
        AppendAttribute(xml, L"comments", ReadText(key.get(), entry, L"Comments"));
        AppendAttribute(xml, L"installlocation", location);
        AppendAttribute(xml, L"guid", entry);
        xml += L"/>\n";
        if (folderTree != nullptr)
            AddFolder(*folderTree, location, true);
    });
}

void ProductsBlock::AppendMakerTree(std::wstring& xml, const std::wstring& path, REGSAM view) {
    const win::unique_hkey key = reg::OpenForReading(HKEY_LOCAL_MACHINE, path, view);
    if (!key)
        return;
    reg::ForEachSubkeyName(key.get(), [&](const std::wstring& name) {
        // The first location value that exists wins, even when it is empty.
        std::wstring location;
        const bool found = ReadRegistryString(key.get(), name, L"InstallLocation", location) ||
                           ReadRegistryString(key.get(), name, L"InstallFolder", location) ||
                           ReadRegistryString(key.get(), name, L"ShellExInstallLocation", location);
        if (found) {
            xml += L"  <product";
            AppendAttribute(xml, L"name", ReadText(key.get(), name, L"ProductLabel"));
            AppendAttribute(xml, L"installedversion", ReadText(key.get(), name, L"Version"));
            AppendAttribute(xml, L"buildlabel", ReadText(key.get(), name, L"BuildLabel"));
            AppendAttribute(xml, L"installlocation", location);
            AppendAttribute(xml, L"guid", ReadText(key.get(), name, L"ProductCode"));
            xml += L"/>\n";
            if (!location.empty() && folderTree != nullptr)
                AddFolder(*folderTree, location, true);
        }
        AppendMakerTree(xml, path + L"\\" + name, view);
    });
}

} // namespace vitascan
