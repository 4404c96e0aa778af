// Number conversion of the runtime support library. Parsing is strict: decimal digits only
// (a leading '-' for signed types), no blanks, in range; anything else throws a syntax
// error status (gtl::status_exception).
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

namespace math::impl {

template <typename T> struct ConvertInt {
    static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
    static std::string to_string(T value, int radix = 10);
    static std::wstring to_wstring(T value, int radix = 10);
    static T from_string(std::string_view text);
    static T from_string(std::wstring_view text);
};

enum class RoundType { Truncate = 0, Nearest = 1 };

template <typename T> struct ConvertFloat {
    static_assert(std::is_floating_point_v<T>);
    // At most `precision` significant digits, without trailing zeros; RoundType 1 rounds to
    // the nearest such value, 0 truncates.
    static std::wstring to_string(T value, int precision, RoundType round);
    static T from_string(std::wstring_view text);
};

} // namespace math::impl
