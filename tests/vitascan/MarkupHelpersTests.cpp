#include "vitascan/MarkupHelpers.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using namespace vitascan;

TEST(XmlEscape, NamedEntitiesWinAndLineFeedStaysRaw) {
    EXPECT_EQ(XmlEscape(L""), L"");
    EXPECT_EQ(XmlEscape(L"a<b&\"c\"'d'"), L"a&lt;b&amp;&quot;c&quot;&apos;d&apos;");
    EXPECT_EQ(XmlEscape(L"x>y"), L"x&gt;y");
    EXPECT_EQ(XmlEscape(L"a\tb\rc\nd"), L"a&#009;b&#013;c\nd");
}

TEST(XmlEscape, NonAsciiBecomesNumericAndNonCharactersVanish) {
    EXPECT_EQ(XmlEscape(L"\x7F\x80\u00e9\u4e2d"), L"\x7F&#128;&#233;&#20013;");
    // Both halves of a pair, a lone surrogate, U+FFFE, U+FFFF, controls other than TAB/LF/CR.
    EXPECT_EQ(XmlEscape(L"a\U0001F600b"), L"ab");
    EXPECT_EQ(XmlEscape(std::wstring{L'a', wchar_t(0xDC01), L'b'}), L"ab");
    EXPECT_EQ(XmlEscape(std::wstring{wchar_t(0xFFFE), wchar_t(0xFFFF), wchar_t(0xFFFD)}),
              L"&#65533;");
    EXPECT_EQ(XmlEscape(std::wstring{L'\x01', L'\x1B', L'\0', L'z'}), L"z");
    EXPECT_TRUE(IsXmlChar(0x10FFFF));
    EXPECT_FALSE(IsXmlChar(0x110000));
    EXPECT_FALSE(IsXmlChar(0xD800));
}

TEST(FormatByteSize, PicksTheUnitFromEightyPercent) {
    EXPECT_EQ(FormatByteSize(0, 0), L"0 B");
    EXPECT_EQ(FormatByteSize(819, 0), L"819 B");
    EXPECT_EQ(FormatByteSize(820, 0), L"1 KB");
    EXPECT_EQ(FormatByteSize(1023, 0), L"1 KB");
    EXPECT_EQ(FormatByteSize(1536, 0), L"2 KB");
    EXPECT_EQ(FormatByteSize(838861, 0), L"1 MB");
    EXPECT_EQ(FormatByteSize(5ull * 1024 * 1024 * 1024, 0), L"5 GB");
    EXPECT_EQ(FormatByteSize(1099511627776ull, 0), L"1 TB");
    EXPECT_EQ(FormatByteSize(UINT64_MAX, 0), L"16777216 TB");
}

TEST(FormatByteSize, RoundsToTheNearestMultipleWithTiesDown) {
    constexpr std::uint64_t kEightMiB = 0x800000;
    EXPECT_EQ(FormatByteSize(12582912, kEightMiB), L"8 MB");  // exactly half-way
    EXPECT_EQ(FormatByteSize(12582913, kEightMiB), L"16 MB"); // just past it
    EXPECT_EQ(FormatByteSize(8589869056ull, kEightMiB), L"8 GB");
    EXPECT_EQ(FormatByteSize(16777216, kEightMiB), L"16 MB"); // an exact multiple stays
    EXPECT_EQ(FormatByteSize(100, kEightMiB), L"0 B");
    EXPECT_EQ(FormatByteSize(0, kEightMiB), L"0 B");
    EXPECT_EQ(FormatByteSize(UINT64_MAX, kEightMiB), L"16777216 TB");
}

TEST(TextHelpers, EndsWithIsCaseSensitiveAndSplitKeepsOrder) {
    EXPECT_TRUE(EndsWith(L"setup.exe", L".exe"));
    EXPECT_FALSE(EndsWith(L"SETUP.EXE", L".exe"));
    EXPECT_FALSE(EndsWith(L"exe", L".exe"));
    EXPECT_TRUE(EndsWith(L"", L""));
    std::vector<std::wstring> pieces{L"stale"};
    SplitText(pieces, L"Path=C:\\a=b", L"=");
    EXPECT_EQ(pieces, (std::vector<std::wstring>{L"Path", L"C:\\a", L"b"}));
}

TEST(Environment, UnsetVariableIsEmpty) {
    ::SetEnvironmentVariableW(L"VITASCAN_TEST_VALUE", L"a=b");
    EXPECT_EQ(GetEnvironmentText(L"VITASCAN_TEST_VALUE"), L"a=b");
    ::SetEnvironmentVariableW(L"VITASCAN_TEST_VALUE", nullptr);
    EXPECT_EQ(GetEnvironmentText(L"VITASCAN_TEST_VALUE"), L"");
}

class RegistryStringTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"Software\\VitascanTests\\ReadRegistryString";
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(key_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VitascanTests");
    }
    void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    void SetText(const wchar_t* name, DWORD type, const std::wstring& text) {
        Set(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    HKEY key_ = nullptr;
};

TEST_F(RegistryStringTest, ReadsStringsOfAnyLengthUnexpanded) {
    SetText(L"Short", REG_SZ, L"C:\\Pallanto\\");
    const std::wstring longText(300, L'x');
    SetText(L"Long", REG_SZ, longText);
    SetText(L"Expand", REG_EXPAND_SZ, L"%TEMP%\\logs");
    SetText(L"Empty", REG_SZ, L"");
    // Stored without its terminating NUL.
    Set(L"Unterminated", REG_SZ, L"abcd", 4 * sizeof(wchar_t));

    std::wstring out = L"unchanged";
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kKey, L"Short", out));
    EXPECT_EQ(out, L"C:\\Pallanto\\");
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kKey, L"Long", out));
    EXPECT_EQ(out, longText);
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kKey, L"Expand", out));
    EXPECT_EQ(out, L"%TEMP%\\logs");
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kKey, L"Unterminated", out));
    EXPECT_EQ(out, L"abcd");
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kKey, L"Empty", out));
    EXPECT_EQ(out, L"");
}

TEST_F(RegistryStringTest, OtherTypesAndMissingValuesLeaveTheTextAlone) {
    const DWORD number = 255;
    Set(L"Number", REG_DWORD, &number, sizeof number);
    Set(L"Multi", REG_MULTI_SZ, L"a\0b\0", 5 * sizeof(wchar_t));
    std::wstring out = L"unchanged";
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, kKey, L"Number", out));
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, kKey, L"Multi", out));
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, kKey, L"Missing", out));
    EXPECT_FALSE(
        ReadRegistryString(HKEY_CURRENT_USER, L"Software\\VitascanTests\\NoKey", L"x", out));
    EXPECT_EQ(out, L"unchanged");
}

TEST(FileVersion, ReadsTheVersionResourceOnly) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring version = L"stale";
    EXPECT_EQ(GetFileVersionText(self, version), 0u);
    EXPECT_EQ(version, L"" VITASCAN_EXPECTED_VERSION);

    testing_support::ScratchFolder folder;
    const std::wstring text = folder.WriteFile(L"plain.dll", "not a program");
    EXPECT_NE(GetFileVersionText(text, version), 0u);
    EXPECT_EQ(version, L"");
    EXPECT_NE(GetFileVersionText(folder.path() + L"missing.exe", version), 0u);
    EXPECT_EQ(version, L"");
}

} // namespace
