#include "vitascan/blocks/RegistryBlock.h"

#include "tests/TestFiles.h"
#include "tests/vitascan/blocks/BlockFixtures.h"

#include <memory>

#include <sddl.h>

#include <gtest/gtest.h>

namespace {

using testing_support::ScopedKey;
using vitascan::FolderNode;
using vitascan::RegistryBlock;

// The maker's keys and the folders they name, made once for the tests that only read them.
struct MakerKeys {
    MakerKeys() {
        folders.WriteFile(L"Shared\\shared.log", "s");
        folders.WriteFile(L"Shared\\sub\\deeper.log", "d");
        folders.WriteFile(L"Named.log", "a file, not a folder");
        folders.MakeFolder(L"Default");
        folders.MakeFolder(L"Expand");

        // Created in the order of their names ignoring case: Windows enumerates values in
        // creation order, Wine in name order. "Big" does not fit the first data buffer; the
        // shorter values after it are read through the grown one ("Short" is stored without
        // its NUL and reads as its own bytes alone).
        user.SetText(L"", L"Big", std::wstring(3000, L'x'));
        user.SetRaw(L"", L"Blob", REG_BINARY, "\x01\x02");
        user.SetText(L"", L"Empty", L"");
        user.SetText(L"", L"Expand", L"C:\\VitascanFixture\\Expand", REG_EXPAND_SZ);
        user.SetText(L"", L"File", L"C:\\VitascanFixture\\Named.log");
        user.SetText(L"", L"Folder", L"C:\\VitascanFixture\\Shared");
        user.SetRaw(L"", L"List", REG_MULTI_SZ, std::string("a\0\0\0", 4));
        user.SetRaw(L"", L"Nothing", REG_NONE, "\x01");
        user.SetText(L"", L"odd<&\">\x1b\U0001F600", L"A&B <c> \"q\" 'a'\x01\tz\U0001F600\u00e9\r");
        user.SetRaw(L"", L"OneByte", REG_SZ, "A");
        user.SetRaw(L"", L"Qword", REG_QWORD, std::string(8, '\x07'));
        user.SetRaw(L"", L"Short", REG_SZ, std::string("a\0b\0c\0", 6));
        user.SetRaw(L"", L"Zero", REG_DWORD, "");
        // The unnamed default value is never written, but its folder counts.
        user.SetText(L"", L"", L"C:\\VitascanFixture\\Default");
        user.SetText(L"Settings", L"Mode", L"fast");
        user.SetDword(L"Settings\\Deep", L"Level", 1);
        user.SetText(L"Odd & <Key>", L"", L"default only");
        user.SetRaw(L"Alpha", L"Nothing", REG_NONE, "");

        machine32.SetText(L"Pallanto", L"InstallLocation", L"C:\\VitascanFixture\\Shared\\");
    }

    testing_support::ScratchFolder folders{L"C:\\VitascanFixture\\"};
    ScopedKey user{HKEY_CURRENT_USER, L"Software\\KORVEL-AB"};
    ScopedKey machine32{HKEY_LOCAL_MACHINE, L"Software\\KORVEL-AB", KEY_WOW64_32KEY};
};

class RegistryBlockTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { keys = std::make_unique<MakerKeys>(); }
    static void TearDownTestSuite() { keys.reset(); }
    static inline std::unique_ptr<MakerKeys> keys;
};

const std::wstring kUserDump =
    L"  <key name=\"HKCU\">\n"
    L"    <key name=\"Software\">\n"
    L"      <key name=\"KORVEL-AB\">\n"
    L"        <value name=\"Big\" type=\"REG_SZ\" value=\"" +
    std::wstring(3000, L'x') +
    L"\"/>\n"
    L"        <value name=\"Blob\" type=\"REG_BINARY\"/>\n"
    L"        <value name=\"Empty\" type=\"REG_SZ\" value=\"\"/>\n"
    L"        <value name=\"Expand\" type=\"REG_EXPAND_SZ\" "
    L"value=\"C:\\VitascanFixture\\Expand\"/>\n"
    L"        <value name=\"File\" type=\"REG_SZ\" value=\"C:\\VitascanFixture\\Named.log\"/>\n"
    L"        <value name=\"Folder\" type=\"REG_SZ\" value=\"C:\\VitascanFixture\\Shared\"/>\n"
    L"        <value name=\"List\" type=\"\"/>\n"
    L"        <value name=\"odd&lt;&amp;&quot;&gt;\" type=\"REG_SZ\" "
    L"value=\"A&amp;B &lt;c&gt; &quot;q&quot; &apos;a&apos;&#009;z&#233;&#013;\"/>\n"
    L"        <value name=\"OneByte\" type=\"REG_SZ\" value=\"\"/>\n"
    L"        <value name=\"Qword\" type=\"REG_QWORD\"/>\n"
    L"        <value name=\"Short\" type=\"REG_SZ\" value=\"abc\"/>\n"
    L"        <value name=\"Zero\" type=\"REG_DWORD\" value=\"\"/>\n"
    L"        <key name=\"Alpha\">\n"
    L"        </key>\n"
    L"        <key name=\"Odd &amp; &lt;Key&gt;\">\n"
    L"        </key>\n"
    L"        <key name=\"Settings\">\n"
    L"          <value name=\"Mode\" type=\"REG_SZ\" value=\"fast\"/>\n"
    L"          <key name=\"Deep\">\n"
    L"            <value name=\"Level\" type=\"REG_DWORD\" value=\"0x00000001 (1)\"/>\n"
    L"          </key>\n"
    L"        </key>\n"
    L"      </key>\n"
    L"    </key>\n"
    L"  </key>\n";

// Both views and the BIOS key follow; the end-to-end report test shows them.
TEST_F(RegistryBlockTest, DumpsTheMakerKeysOfTheUserFirst) {
    FolderNode tree;
    const std::wstring xml = RegistryBlock(&tree).GetXml();
    EXPECT_EQ(xml.substr(0, kUserDump.size() + 11), L"<registry>\n" + kUserDump);
}

TEST_F(RegistryBlockTest, StringValuesNamingFoldersAddThoseFoldersAlone) {
    FolderNode tree;
    RegistryBlock(&tree).GetXml();

    // REG_SZ values, the unnamed default one too, add existing folders without subfolders;
    // an expandable string is not looked at, and a string naming a file adds nothing.
    EXPECT_EQ(block_fixtures::Outline(tree), L"\n"
                                             L"C:\\\n"
                                             L"C:\\VitascanFixture\\\n"
                                             L"C:\\VitascanFixture\\Default\\\n"
                                             L"C:\\VitascanFixture\\Shared\\ shared.log\n");

    // Without a tree nothing is collected, and the text is the same.
    EXPECT_EQ(RegistryBlock::DumpRegistryKey(L"HKCU\\Software\\KORVEL-AB", nullptr, 0, -1),
              kUserDump);
}

TEST_F(RegistryBlockTest, KeyPathsAreReadAsTheyAreWritten) {
    // The root prefix is exact; the WOW6432Node test ignores case.
    EXPECT_EQ(RegistryBlock::DumpRegistryKey(L"hkcu\\Software\\KORVEL-AB", nullptr, 0, -1), L"");
    const std::wstring upper =
        RegistryBlock::DumpRegistryKey(L"HKLM\\SOFTWARE\\KORVEL-AB", nullptr, KEY_WOW64_32KEY, -1);
    EXPECT_EQ(upper.rfind(L"  <key name=\"HKLM\">\n    <key name=\"SOFTWARE\">\n"
                          L"      <key name=\"WOW6432Node\">\n",
                          0),
              0u)
        << upper;
    // A missing key leaves no trace; content dumps take the given indentation.
    EXPECT_EQ(RegistryBlock::DumpRegistryKey(L"HKCU\\Software\\KORVEL-AB\\Missing", nullptr, 0, -1),
              L"");
    EXPECT_EQ(
        RegistryBlock::DumpRegistryKey(L"HKCU\\Software\\KORVEL-AB\\Settings\\Deep", nullptr, 0, 1),
        L"   <value name=\"Level\" type=\"REG_DWORD\" value=\"0x00000001 (1)\"/>\n");
}

TEST_F(RegistryBlockTest, AKeyThatMayNotBeReadSaysWhy) {
    // Everyone is denied reading the key (and only that, so that the test can remove it).
    ScopedKey denied{HKEY_CURRENT_USER, L"Software\\KORVEL-AB\\Settings\\Denied"};
    win::unique_local_mem descriptor;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(D;;GR;;;WD)(A;;GA;;;WD)", SDDL_REVISION_1, descriptor.put(), nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\KORVEL-AB\\Settings\\Denied", 0,
                              WRITE_DAC, &key),
              ERROR_SUCCESS);
    const win::unique_hkey owner(key);
    ASSERT_EQ(::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.get()), ERROR_SUCCESS);

    EXPECT_EQ(RegistryBlock::DumpRegistryKey(L"HKCU\\Software\\KORVEL-AB\\Settings", nullptr, 0, 0),
              L"  <value name=\"Mode\" type=\"REG_SZ\" value=\"fast\"/>\n"
              L"  <key name=\"Deep\">\n"
              L"    <value name=\"Level\" type=\"REG_DWORD\" value=\"0x00000001 (1)\"/>\n"
              L"  </key>\n"
              L"  <key name=\"Denied\" error=\"Access denied.\">\n"
              L"  </key>\n");
    // At the top the chain of names ends with the reason.
    const std::wstring top = RegistryBlock::DumpRegistryKey(
        L"HKCU\\Software\\KORVEL-AB\\Settings\\Denied", nullptr, 0, -1);
    EXPECT_NE(top.find(L"\n          <key name=\"Denied\" error=\"Access denied.\">\n"
                       L"          </key>\n        </key>\n"),
              std::wstring::npos)
        << top;
}

} // namespace
