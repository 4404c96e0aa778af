#include "platform/math_convert.h"

#include "platform/gtl_status.h"
#include "platform/str_convert.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <limits>

namespace math::impl {

namespace {

[[noreturn]] void ThrowBadNumber(std::wstring_view text) {
    throw gtl::status_exception(KesError::syntax(std::wstring(text)));
}

template <typename Char>
std::basic_string<Char> ToText(std::uintmax_t magnitude, bool negative, int radix) {
    if (radix < 2 || radix > 36)
        radix = 10;
    Char digits[72];
    size_t n = 0;
    do {
        const int d = static_cast<int>(magnitude % static_cast<unsigned>(radix));
        digits[n++] = static_cast<Char>(d < 10 ? '0' + d : 'a' + d - 10);
        magnitude /= static_cast<unsigned>(radix);
    } while (magnitude != 0);
    std::basic_string<Char> text;
    text.reserve(n + 1);
    if (negative)
        text += static_cast<Char>('-');
    while (n > 0)
        text += digits[--n];
    return text;
}

template <typename T, typename Char> T Parse(std::basic_string_view<Char> text) {
    const std::wstring shown(text.begin(), text.end());
    bool negative = false;
    size_t i = 0;
    if constexpr (std::is_signed_v<T>) {
        if (!text.empty() && text[0] == static_cast<Char>('-')) {
            negative = true;
            i = 1;
        }
    }
    if (i >= text.size())
        ThrowBadNumber(shown);
    using U = std::make_unsigned_t<T>;
    // The largest magnitude the type can hold with this sign.
    const std::uintmax_t limit =
        negative ? static_cast<std::uintmax_t>(std::numeric_limits<T>::max()) + 1
                 : static_cast<std::uintmax_t>(std::numeric_limits<T>::max());
    std::uintmax_t value = 0;
    for (; i < text.size(); ++i) {
        const Char c = text[i];
        if (c < static_cast<Char>('0') || c > static_cast<Char>('9'))
            ThrowBadNumber(shown);
        const unsigned digit = static_cast<unsigned>(c - static_cast<Char>('0'));
        if (value > (limit - digit) / 10)
            ThrowBadNumber(shown);
        value = value * 10 + digit;
    }
    if (negative)
        return static_cast<T>(static_cast<U>(0) - static_cast<U>(value));
    return static_cast<T>(value);
}

template <typename T> std::uintmax_t Magnitude(T value) {
    if constexpr (std::is_signed_v<T>) {
        if (value < 0)
            return static_cast<std::uintmax_t>(0) -
                   static_cast<std::uintmax_t>(static_cast<std::intmax_t>(value));
    }
    return static_cast<std::uintmax_t>(value);
}

template <typename T> bool IsNegative(T value) {
    if constexpr (std::is_signed_v<T>)
        return value < 0;
    else
        return false;
}

} // namespace

template <typename T> std::string ConvertInt<T>::to_string(T value, int radix) {
    return ToText<char>(Magnitude(value), IsNegative(value), radix);
}

template <typename T> std::wstring ConvertInt<T>::to_wstring(T value, int radix) {
    return ToText<wchar_t>(Magnitude(value), IsNegative(value), radix);
}

template <typename T> T ConvertInt<T>::from_string(std::string_view text) {
    return Parse<T, char>(text);
}

template <typename T> T ConvertInt<T>::from_string(std::wstring_view text) {
    return Parse<T, wchar_t>(text);
}

template struct ConvertInt<signed char>;
template struct ConvertInt<unsigned char>;
template struct ConvertInt<short>;
template struct ConvertInt<unsigned short>;
template struct ConvertInt<int>;
template struct ConvertInt<unsigned int>;
template struct ConvertInt<long>;
template struct ConvertInt<unsigned long>;
template struct ConvertInt<long long>;
template struct ConvertInt<unsigned long long>;

template <typename T>
std::wstring ConvertFloat<T>::to_string(T value, int precision, RoundType round) {
    if (precision < 1)
        precision = 1;
    if (precision > 17)
        precision = 17;
    double v = static_cast<double>(value);
    if (round == RoundType::Truncate && std::isfinite(v) && v != 0.0) {
        // Keep the first `precision` significant digits and drop the rest.
        const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
        const double scale = std::pow(10.0, precision - 1 - exponent);
        v = std::trunc(v * scale) / scale;
    }
    return str::snprintf(L"%.*g", precision, v);
}

template <typename T> T ConvertFloat<T>::from_string(std::wstring_view text) {
    const std::wstring copy(text);
    if (copy.empty() || std::iswspace(copy.front()))
        ThrowBadNumber(copy);
    wchar_t* end = nullptr;
    const double value = std::wcstod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size())
        ThrowBadNumber(copy);
    return static_cast<T>(value);
}

template struct ConvertFloat<float>;
template struct ConvertFloat<double>;

} // namespace math::impl
