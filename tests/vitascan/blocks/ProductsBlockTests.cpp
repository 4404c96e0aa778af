#include "vitascan/blocks/ProductsBlock.h"

#include "tests/TestFiles.h"
#include "tests/vitascan/blocks/BlockFixtures.h"
#include "vitascan/FolderTree.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {

using testing_support::ScopedKey;
using vitascan::FolderNode;
using vitascan::ProductsBlock;

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class ProductsBlockTest : public ::testing::Test {
protected:
    ProductsBlockTest() {
        folders.WriteFile(L"Shared\\app.log", "a");
        folders.WriteFile(L"Shared\\sub\\deep.log", "d");
        folders.WriteFile(L"Shell\\ext.log", "e");
        folders.WriteFile(L"Shell\\deep\\inner.log", "i");

        const ScopedKey& listed = Entry(L"{A1-VITASCAN-TEST}");
        listed.SetText(L"", L"HelpLink", L"https://www.korvel-ab.example/support");
        listed.SetText(L"", L"InstallLocation", L"C:\\VitascanFixture\\Shared\\");
        listed.SetText(L"", L"DisplayName", L"Pallanto <Suite> & \"Co\"");
        listed.SetText(L"", L"DisplayVersion", L"10.2.0.15");
        listed.SetText(L"", L"Comments", L"caf\u00e9\U0001F600", REG_EXPAND_SZ);
        // The maker's link without a location, the maker's name in capitals, an empty
        // location, a link that is not a string: none of them is listed.
        Entry(L"{A2-VITASCAN-TEST}").SetText(L"", L"HelpLink", L"https://korvel-ab.example");
        const ScopedKey& capitals = Entry(L"{A3-VITASCAN-TEST}");
        capitals.SetText(L"", L"HelpLink", L"https://KORVEL-AB.example");
        capitals.SetText(L"", L"InstallLocation", L"C:\\VitascanFixture\\Shell\\");
        const ScopedKey& empty = Entry(L"{A4-VITASCAN-TEST}");
        empty.SetText(L"", L"HelpLink", L"korvel-ab");
        empty.SetText(L"", L"InstallLocation", L"");
        const ScopedKey& binary = Entry(L"{A5-VITASCAN-TEST}");
        binary.SetRaw(L"", L"HelpLink", REG_BINARY, "k\0o\0r\0v\0e\0l\0-\0a\0b\0");
        binary.SetText(L"", L"InstallLocation", L"C:\\VitascanFixture\\Shell\\");

        // The maker's tree: a product, a plain key on the way to a product with an empty
        // folder value, a product found through its shell-extension location.
        machine32.SetText(L"Pallanto", L"ProductLabel", L"Pallanto 32");
        machine32.SetText(L"Pallanto", L"ProductCode", L"{P-32}");
        machine32.SetText(L"Pallanto", L"Version", L"10.2");
        machine32.SetText(L"Pallanto", L"BuildLabel", L"b15 & <rc>");
        machine32.SetText(L"Pallanto", L"InstallFolder", L"C:\\VitascanFixture\\Ignored\\");
        machine32.SetText(L"Pallanto", L"InstallLocation", L"C:\\VitascanFixture\\Shared\\");
        machine32.SetText(L"Pallanto\\Plugins", L"Note", L"no product here");
        machine32.SetText(L"Pallanto\\Plugins\\Viewer", L"ProductLabel", L"Viewer");
        machine32.SetText(L"Pallanto\\Plugins\\Viewer", L"InstallFolder", L"");
        machine32.SetText(L"Tools", L"ShellExInstallLocation", L"C:\\VitascanFixture\\Shell\\");
        machine32.SetText(L"Tools", L"ProductLabel", L"Shell extension");
        machine32.SetDword(L"Tools\\Counter", L"InstallLocation", 7);

        machine64.SetText(L"Pallanto", L"ProductLabel", L"Pallanto 64");
        machine64.SetText(L"Pallanto", L"InstallLocation", L"C:\\VitascanFixture\\Shared\\");
    }

    const ScopedKey& Entry(const std::wstring& guid) {
        entries.push_back(
            std::make_unique<ScopedKey>(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + guid));
        return *entries.back();
    }

    testing_support::ScratchFolder folders{L"C:\\VitascanFixture\\"};
    std::vector<std::unique_ptr<ScopedKey>> entries;
    ScopedKey machine32{HKEY_LOCAL_MACHINE, L"Software\\KORVEL-AB", KEY_WOW64_32KEY};
    ScopedKey machine64{HKEY_LOCAL_MACHINE, L"Software\\KORVEL-AB", KEY_WOW64_64KEY};
};

// Install folders join the tree with their subfolders.
TEST_F(ProductsBlockTest, ListsTheMakersProductsFromTheUninstallListThenBothViews) {
    FolderNode tree;
    EXPECT_EQ(ProductsBlock(&tree).GetXml(),
              L"<products>\n"
              L"  <product name=\"Pallanto &lt;Suite&gt; &amp; &quot;Co&quot;\" "
              L"installedversion=\"10.2.0.15\" comments=\"caf&#233;\" "
              L"installlocation=\"C:\\VitascanFixture\\Shared\\\" guid=\"{A1-VITASCAN-TEST}\"/>\n"
              L"  <product name=\"Pallanto 32\" installedversion=\"10.2\" "
              L"buildlabel=\"b15 &amp; &lt;rc&gt;\" "
              L"installlocation=\"C:\\VitascanFixture\\Shared\\\" guid=\"{P-32}\"/>\n"
              L"  <product name=\"Viewer\" installedversion=\"\" buildlabel=\"\" "
              L"installlocation=\"\" guid=\"\"/>\n"
              L"  <product name=\"Shell extension\" installedversion=\"\" buildlabel=\"\" "
              L"installlocation=\"C:\\VitascanFixture\\Shell\\\" guid=\"\"/>\n"
              L"  <product name=\"Pallanto 64\" installedversion=\"\" buildlabel=\"\" "
              L"installlocation=\"C:\\VitascanFixture\\Shared\\\" guid=\"\"/>\n"
              L"</products>\n");
    // Shared (recursively) and Shell; neither the capitalised entry's nor the ignored
    // InstallFolder's folder, nor one for the empty location.
    EXPECT_EQ(block_fixtures::Outline(tree), L"\n"
                                             L"C:\\\n"
                                             L"C:\\VitascanFixture\\\n"
                                             L"C:\\VitascanFixture\\Shared\\ app.log\n"
                                             L"C:\\VitascanFixture\\Shared\\sub\\ deep.log\n"
                                             L"C:\\VitascanFixture\\Shell\\ ext.log\n"
                                             L"C:\\VitascanFixture\\Shell\\deep\\ inner.log\n");
}

TEST(ProductsBlock, NoProductsGivesTheBareElement) {
    EXPECT_EQ(vitascan::products_block::Render({}), L"<products>\n</products>\n");
}

} // namespace
