#include "vitascan/blocks/ProductsBlock.h"

#include "platform/str_convert.h"
#include "vitascan/Markup.h"
#include "vitascan/RegistryKeys.h"
#include "vitascan/StringIds.h"

#include <optional>

namespace vitascan {

namespace products_block {

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The maker's name as its installers write it into help links (case matters).
const wchar_t kMakerLinkText[] = L"korvel-ab";

// A string value, or "" when it is missing or not a string.
std::wstring TextOf(HKEY key, const wchar_t* valueName) {
    return reg::ReadString(key, valueName).value_or(std::wstring());
}

void ProbeUninstallList(std::vector<Product>& products) {
    const win::unique_hkey list = reg::OpenForReading(HKEY_LOCAL_MACHINE, kUninstallKey);
    if (!list)
        return;
    for (const std::wstring& entry : reg::SubkeyNames(list.get())) {
        const win::unique_hkey key = reg::OpenForReading(list.get(), entry);
        if (!key)
            continue;
        const std::optional<std::wstring> helpLink = reg::ReadString(key.get(), L"HelpLink");
        if (!helpLink || helpLink->find(kMakerLinkText) == std::wstring::npos)
            continue;
        std::wstring location = TextOf(key.get(), L"InstallLocation");
        if (location.empty())
            continue;
        products.push_back({Product::Source::UninstallList, TextOf(key.get(), L"DisplayName"),
                            TextOf(key.get(), L"DisplayVersion"), TextOf(key.get(), L"Comments"),
                            std::move(location), entry});
    }
}

void ProbeMakerTree(std::vector<Product>& products, const std::wstring& path, REGSAM view) {
    const win::unique_hkey parent = reg::OpenForReading(HKEY_LOCAL_MACHINE, path, view);
    if (!parent)
        return;
    for (const std::wstring& name : reg::SubkeyNames(parent.get())) {
        // Values are read from the subkey as the parent's handle reaches it.
        if (const win::unique_hkey key = reg::OpenForReading(parent.get(), name)) {
            // The first location value that exists wins, even when it is empty.
            std::optional<std::wstring> location = reg::ReadString(key.get(), L"InstallLocation");
            if (!location)
                location = reg::ReadString(key.get(), L"InstallFolder");
            if (!location)
                location = reg::ReadString(key.get(), L"ShellExInstallLocation");
            if (location)
                products.push_back({Product::Source::MakerTree, TextOf(key.get(), L"ProductLabel"),
                                    TextOf(key.get(), L"Version"), TextOf(key.get(), L"BuildLabel"),
                                    std::move(*location), TextOf(key.get(), L"ProductCode")});
        }
        ProbeMakerTree(products, reg::JoinKeyPath(path, name), view);
    }
}

} // namespace

std::vector<Product> ProbeProducts() {
    std::vector<Product> products;
    ProbeUninstallList(products);
    const std::wstring makerKey = reg::JoinKeyPath(L"Software", L"KORVEL-AB");
    ProbeMakerTree(products, makerKey, KEY_WOW64_32KEY);
    ProbeMakerTree(products, makerKey, KEY_WOW64_64KEY);
    return products;
}

std::wstring Render(const std::vector<Product>& products) {
    std::wstring xml;
    MarkupWriter out(xml, LineEnd::Lf);
    out.StartElementLine(0, L"products");
    for (const Product& product : products) {
        const bool listed = product.source == Product::Source::UninstallList;
        out.Indent(2)
            .Open(L"product")
            .Attribute(L"name", product.name)
            .Attribute(L"installedversion", product.version)
            .Attribute(listed ? L"comments" : L"buildlabel", product.note)
            .Attribute(L"installlocation", product.location)
            .Attribute(L"guid", product.guid)
            .SelfClose()
            .EndLine();
    }
    out.EndElementLine(0, L"products");
    return xml;
}

} // namespace products_block

std::wstring ProductsBlock::GetDescription() {
    return str::load_wstring(IDS_PRODUCTS_STEP);
}

std::wstring ProductsBlock::GetXml() {
    const std::vector<products_block::Product> products = products_block::ProbeProducts();
    // Every installation folder joins the listing with its subfolders, as the registry spells
    // it (no backslash is added).
    if (folderTree != nullptr)
        for (const products_block::Product& product : products)
            if (!product.location.empty())
                AddFolder(*folderTree, product.location, true);
    return products_block::Render(products);
}

} // namespace vitascan
