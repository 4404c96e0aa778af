#include "platform/str_convert.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(Utf8, RoundTripsEveryPlaneAndReplacesIllFormedInput) {
    const std::wstring text = L"a\u00e9\u4e2d\U0001F600;&";
    const std::string bytes = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80;&";
    EXPECT_EQ(str::encode_utf8(text), bytes);
    EXPECT_EQ(str::decode_utf8(bytes), text);
    EXPECT_EQ(str::as_wstring(str::as_u8string(bytes)), text);
    EXPECT_EQ(str::as_cstring(text), bytes);
    // Lone surrogates in UTF-16.
    EXPECT_EQ(str::encode_utf8(std::wstring{L'x', wchar_t(0xD800), L'y', wchar_t(0xDC00)}),
              "x\xEF\xBF\xBDy\xEF\xBF\xBD");
    // Overlong NUL, a stray continuation byte, sequences cut short, a surrogate in UTF-8.
    for (const auto& [in, out] :
         std::vector<std::pair<std::string, std::wstring>>{{"\xC0\x80", L"\uFFFD\uFFFD"},
                                                           {"a\x80z", L"a\uFFFDz"},
                                                           {"\xE4\xB8", L"\uFFFD"},
                                                           {"\xE4\xB8q", L"\uFFFDq"},
                                                           {"\xED\xA0\x80", L"\uFFFD"}})
        EXPECT_EQ(str::decode_utf8(in), out) << in;
}

TEST(AnsiText, NarrowTextFromWindowsReadsInTheAnsiCodePage) {
    ASSERT_EQ(::GetACP(), 1252u) << "the test prefix is expected to use the Western code page";
    EXPECT_EQ(str::as_wstring(std::string("caf\xE9 \x80")), L"caf\u00e9 \u20ac");
    EXPECT_EQ(str::as_wstring(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    EXPECT_EQ(str::as_wstring(std::string()), L"");
}

TEST(TextHelpers, SplitKeepsEmptyPiecesAndReplaceAllScansOnce) {
    using Pieces = std::vector<std::wstring>;
    EXPECT_EQ(str::split(L"TEMP==x", L"="), (Pieces{L"TEMP", L"", L"x"}));
    EXPECT_EQ(str::split(L"HKLM\\Software/x", L"\\/"), (Pieces{L"HKLM", L"Software", L"x"}));
    EXPECT_EQ(str::split(L"X=", L"="), (Pieces{L"X", L""}));
    EXPECT_TRUE(str::split(L"", L"=").empty());
    EXPECT_EQ(str::replace_all(L"aaa", L"aa", L"b"), L"ba");
    EXPECT_EQ(str::replace_all(L"a\r\nb\r\n", L"\r", L""), L"a\nb\n");
    EXPECT_EQ(str::replace_all(L"abc", L"", L"x"), L"abc");
}

TEST(Formatting, FollowsPrintfWithWideAndSixtyFourBitArguments) {
    EXPECT_EQ(str::snprintf(L"%ls<%ls", L"  ", L"a"), L"  <a");
    EXPECT_EQ(str::snprintf(L"%lld|%llu", -9223372036854775807LL - 1, 18446744073709551615ULL),
              L"-9223372036854775808|18446744073709551615");
    EXPECT_EQ(str::snprintf(L"0x%08x (%u)", 255u, 255u), L"0x000000ff (255)");
    const std::wstring longText(1000, L'z');
    EXPECT_EQ(str::snprintf(L"[%ls]", longText.c_str()), L"[" + longText + L"]");
}

} // namespace
