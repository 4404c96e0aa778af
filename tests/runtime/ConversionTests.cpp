#include "platform/gtl_status.h"
#include "platform/math_convert.h"
#include "platform/str_convert.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

using math::impl::ConvertFloat;
using math::impl::ConvertInt;
using math::impl::RoundType;

TEST(Utf8, RoundTripsEveryPlane) {
    const std::wstring text = L"a\u00e9\u4e2d\U0001F600;&";
    const std::string bytes = str::encode_utf8(text);
    EXPECT_EQ(bytes, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80;&");
    EXPECT_EQ(str::decode_utf8(bytes), text);
    EXPECT_EQ(str::as_wstring(str::as_u8string(bytes)), text);
    EXPECT_EQ(str::as_cstring(text), bytes);
    EXPECT_EQ(str::encode_utf8(L""), "");
}

TEST(Utf8, IllFormedInputBecomesReplacementCharacters) {
    // A lone high surrogate, then a lone low surrogate.
    EXPECT_EQ(str::encode_utf8(std::wstring{L'x', wchar_t(0xD800), L'y', wchar_t(0xDC00)}),
              "x\xEF\xBF\xBDy\xEF\xBF\xBD");
    // Overlong NUL, a stray continuation byte, a sequence cut short, a surrogate in UTF-8.
    EXPECT_EQ(str::decode_utf8("\xC0\x80"), L"\uFFFD\uFFFD");
    EXPECT_EQ(str::decode_utf8("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(str::decode_utf8("\xE4\xB8"), L"\uFFFD");
    EXPECT_EQ(str::decode_utf8("\xE4\xB8q"), L"\uFFFDq");
    EXPECT_EQ(str::decode_utf8("\xED\xA0\x80"), L"\uFFFD");
}

TEST(TextHelpers, SplitKeepsEmptyPiecesAndReplaceAllScansOnce) {
    EXPECT_EQ(str::split(L"TEMP==x", L"="), (std::vector<std::wstring>{L"TEMP", L"", L"x"}));
    EXPECT_EQ(str::split(L"HKLM\\Software/x", L"\\/"),
              (std::vector<std::wstring>{L"HKLM", L"Software", L"x"}));
    EXPECT_EQ(str::split(L"X=", L"="), (std::vector<std::wstring>{L"X", L""}));
    EXPECT_TRUE(str::split(L"", L"=").empty());
    EXPECT_EQ(str::replace_all(L"aaa", L"aa", L"b"), L"ba");
    EXPECT_EQ(str::replace_all(L"a\r\nb\r\n", L"\r", L""), L"a\nb\n");
    EXPECT_EQ(str::replace_all(L"abc", L"", L"x"), L"abc");
}

TEST(Formatting, FollowsPrintfWithWideAndSixtyFourBitArguments) {
    EXPECT_EQ(str::snprintf(L"%ls<%ls", L"  ", L"a"), L"  <a");
    EXPECT_EQ(str::snprintf(L"%lld|%llu", -9223372036854775807LL - 1, 18446744073709551615ULL),
              L"-9223372036854775808|18446744073709551615");
    EXPECT_EQ(str::snprintf(L"%02d/%02d/%d %d:%02d", 4, 12, 2026, 9, 5), L"04/12/2026 9:05");
    EXPECT_EQ(str::snprintf(L"0x%08x (%u)", 255u, 255u), L"0x000000ff (255)");
    const std::wstring longText(1000, L'z');
    EXPECT_EQ(str::snprintf(L"[%ls]", longText.c_str()), L"[" + longText + L"]");
}

TEST(ConvertInt, WritesEveryRadixAndTheExtremes) {
    EXPECT_EQ(ConvertInt<int>::to_string(INT_MIN), "-2147483648");
    EXPECT_EQ(ConvertInt<unsigned int>::to_string(4294967295u), "4294967295");
    EXPECT_EQ(ConvertInt<unsigned int>::to_string(0), "0");
    EXPECT_EQ(ConvertInt<int>::to_wstring(-255, 16), L"-ff");
    EXPECT_EQ(ConvertInt<unsigned short>::to_wstring(65535), L"65535");
    EXPECT_EQ(ConvertInt<long long>::to_string(LLONG_MIN), "-9223372036854775808");
}

TEST(ConvertInt, ParsesOnlyPlainDecimalInRange) {
    EXPECT_EQ(ConvertInt<int>::from_string("-2147483648"), INT_MIN);
    EXPECT_EQ(ConvertInt<int>::from_string("2147483647"), INT_MAX);
    EXPECT_EQ(ConvertInt<unsigned int>::from_string("4294967295"), 4294967295u);
    EXPECT_EQ(ConvertInt<unsigned int>::from_string("007"), 7u);
    EXPECT_EQ(ConvertInt<int>::from_string(std::wstring_view(L"1033")), 1033);

    for (const char* bad : {"", "-", " 1", "1 ", "+1", "12a", "0x10", "2147483648", "-2147483649"})
        EXPECT_THROW(ConvertInt<int>::from_string(bad), gtl::status_exception) << bad;
    for (const char* bad : {"-1", "-0", "4294967296", "99999999999999999999"})
        EXPECT_THROW(ConvertInt<unsigned int>::from_string(bad), gtl::status_exception) << bad;
    EXPECT_THROW(ConvertInt<int>::from_string(std::wstring_view(L"\u0663")), gtl::status_exception);
}

TEST(ConvertInt, ErrorIsASyntaxErrorNamingTheText) {
    try {
        ConvertInt<unsigned int>::from_string("12x");
        FAIL() << "no exception";
    } catch (const gtl::status_exception& e) {
        EXPECT_NE(e.get_status().message().find(L"12x"), std::wstring::npos);
    }
}

TEST(ConvertFloat, KeepsTheRequestedSignificantDigits) {
    EXPECT_EQ(ConvertFloat<float>::to_string(0.1f, 7, RoundType::Nearest), L"0.1");
    EXPECT_EQ(ConvertFloat<float>::to_string(3.4028235e38f, 7, RoundType::Nearest),
              L"3.402823e+38");
    EXPECT_EQ(ConvertFloat<double>::to_string(1.0 / 3.0, 16, RoundType::Nearest),
              L"0.3333333333333333");
    EXPECT_EQ(ConvertFloat<double>::to_string(2.0 / 3.0, 3, RoundType::Nearest), L"0.667");
    EXPECT_EQ(ConvertFloat<double>::to_string(2.0 / 3.0, 3, RoundType::Truncate), L"0.666");
    EXPECT_EQ(ConvertFloat<double>::to_string(-1500.0, 16, RoundType::Nearest), L"-1500");
    EXPECT_DOUBLE_EQ(ConvertFloat<double>::from_string(L"2.5"), 2.5);
    EXPECT_THROW(ConvertFloat<double>::from_string(L" 2.5"), gtl::status_exception);
    EXPECT_THROW(ConvertFloat<double>::from_string(L"2.5x"), gtl::status_exception);
}

} // namespace
