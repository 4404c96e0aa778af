#include "platform/gtl_status.h"
#include "platform/math_convert.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

using math::impl::ConvertFloat;
using math::impl::ConvertInt;
using math::impl::RoundType;

TEST(ConvertInt, WritesEveryRadixAndTheExtremes) {
    EXPECT_EQ(ConvertInt<unsigned int>::to_string(0), "0");
    EXPECT_EQ(ConvertInt<int>::to_wstring(-255, 16), L"-ff");
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
    try {
        ConvertInt<unsigned int>::from_string("12x");
        ADD_FAILURE() << "no exception";
    } catch (const gtl::status_exception& e) {
        EXPECT_NE(e.get_status().message().find(L"12x"), std::wstring::npos);
    }
}

TEST(ConvertFloat, KeepsTheRequestedSignificantDigits) {
    EXPECT_EQ(ConvertFloat<float>::to_string(3.4028235e38f, 7, RoundType::Nearest),
              L"3.402823e+38");
    EXPECT_EQ(ConvertFloat<double>::to_string(2.0 / 3.0, 3, RoundType::Nearest), L"0.667");
    EXPECT_EQ(ConvertFloat<double>::to_string(2.0 / 3.0, 3, RoundType::Truncate), L"0.666");
    EXPECT_EQ(ConvertFloat<double>::to_string(-1500.0, 16, RoundType::Nearest), L"-1500");
    EXPECT_DOUBLE_EQ(ConvertFloat<double>::from_string(L"2.5"), 2.5);
    for (const wchar_t* bad : {L" 2.5", L"2.5x"})
        EXPECT_THROW(ConvertFloat<double>::from_string(bad), gtl::status_exception) << bad;
}

} // namespace
