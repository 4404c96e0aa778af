#include "vitascan/RegistryKeys.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using vitascan::ReadRegistryString;

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

TEST(DecodeString, StopsAtTheReportedSizeInABufferLongerThanTheValue) {
    // The buffer still holds a longer earlier value; the current one, two characters with no
    // NUL, must not take that tail.
    std::vector<BYTE> data;
    for (const char c : std::string("abcdefgh")) {
        data.push_back(static_cast<BYTE>(c));
        data.push_back(0);
    }
    EXPECT_EQ(vitascan::reg::DecodeString(data, 4), L"ab");
    EXPECT_EQ(vitascan::reg::DecodeString(data, 5), L"ab");
    EXPECT_EQ(vitascan::reg::DecodeString(data, 1), L"");
}

} // namespace
