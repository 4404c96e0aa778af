#include "vitascan/MarkupHelpers.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using namespace vitascan;

TEST(XmlEscape, NamedEntitiesNumericReferencesAndDroppedNonCharacters) {
    for (const auto& [in, out] : std::vector<std::pair<std::wstring, std::wstring>>{
             {L"a<b&\"c\"'d'x>y", L"a&lt;b&amp;&quot;c&quot;&apos;d&apos;x&gt;y"},
             {L"a\tb\rc\nd", L"a&#009;b&#013;c\nd"},
             {L"\x7F\x80\u00e9\u4e2d", L"\x7F&#128;&#233;&#20013;"},
             // Both halves of a pair, a lone surrogate, U+FFFE, U+FFFF, other controls.
             {L"a\U0001F600b", L"ab"},
             {std::wstring{L'a', wchar_t(0xDC01), L'b'}, L"ab"},
             {std::wstring{wchar_t(0xFFFE), wchar_t(0xFFFF), wchar_t(0xFFFD)}, L"&#65533;"},
             {std::wstring{L'\x01', L'\x1B', L'\0', L'z'}, L"z"}}) {
        EXPECT_EQ(XmlEscape(in), out);
        std::wstring appended = L"<";
        AppendXmlEscaped(appended, in);
        EXPECT_EQ(appended, L"<" + out);
    }
}

TEST(FormatByteSize, PicksTheUnitFromEightyPercentAfterRoundingTiesDown) {
    constexpr std::uint64_t k8MiB = 0x800000;
    for (const auto& [bytes, roundTo, text] :
         std::vector<std::tuple<std::uint64_t, std::uint64_t, std::wstring>>{
             {819, 0, L"819 B"},
             {820, 0, L"1 KB"},
             {838861, 0, L"1 MB"},
             {5ull << 30, 0, L"5 GB"},
             {1ull << 40, 0, L"1 TB"},
             {12582912, k8MiB, L"8 MB"}, // exactly half-way
             {12582913, k8MiB, L"16 MB"},
             {8589869056ull, k8MiB, L"8 GB"},
             {100, k8MiB, L"0 B"},
             {UINT64_MAX, k8MiB, L"16777216 TB"}})
        EXPECT_EQ(FormatByteSize(bytes, roundTo), text) << bytes << " " << roundTo;
}

TEST(TextHelpers, EndsWithIsCaseSensitiveAndSplitKeepsOrder) {
    EXPECT_TRUE(EndsWith(L"setup.exe", L".exe"));
    EXPECT_FALSE(EndsWith(L"SETUP.EXE", L".exe"));
    EXPECT_FALSE(EndsWith(L"exe", L".exe"));
    std::vector<std::wstring> pieces{L"stale"};
    SplitText(pieces, L"Path=C:\\a=b", L"=");
    EXPECT_EQ(pieces, (std::vector<std::wstring>{L"Path", L"C:\\a", L"b"}));
}

TEST(ReadRegistryString, StringsOfAnyLengthUnexpandedOtherwiseUnchanged) {
    const std::wstring path = L"Software\\VitascanTests";
    testing_support::ScopedKey key(HKEY_CURRENT_USER, path);
    const std::wstring longText(300, L'x');
    key.SetText(L"", L"Long", longText);
    key.SetText(L"", L"Expand", L"%TEMP%\\logs", REG_EXPAND_SZ);
    key.SetText(L"", L"Empty", L"");
    key.SetRaw(L"", L"Unterminated", REG_SZ, std::string("a\0b\0", 4));
    key.SetDword(L"", L"Number", 255);
    key.SetRaw(L"", L"Multi", REG_MULTI_SZ, std::string("a\0\0\0", 4));
    for (const auto& [name, text] :
         std::vector<std::pair<std::wstring, std::wstring>>{{L"Long", longText},
                                                            {L"Expand", L"%TEMP%\\logs"},
                                                            {L"Empty", L""},
                                                            {L"Unterminated", L"ab"}}) {
        std::wstring out = L"unchanged";
        EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, path, name, out));
        EXPECT_EQ(out, text);
    }
    std::wstring out = L"unchanged";
    for (const wchar_t* name : {L"Number", L"Multi", L"Missing"})
        EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, path, name, out));
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, path + L"\\NoKey", L"x", out));
    EXPECT_EQ(out, L"unchanged");
}

TEST(FileVersion, ReadsTheVersionResourceOnly) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring version = L"stale";
    EXPECT_EQ(GetFileVersionText(self, version), 0u);
    EXPECT_EQ(version, L"" VITASCAN_EXPECTED_VERSION);
    testing_support::ScratchFolder folder;
    for (const std::wstring& path :
         {folder.WriteFile(L"plain.dll", "not a program"), folder.path() + L"missing.exe"}) {
        EXPECT_NE(GetFileVersionText(path, version), 0u);
        EXPECT_EQ(version, L"");
    }
}

} // namespace
