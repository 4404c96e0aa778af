// Text conversion and formatting of the runtime support library. Wide texts are UTF-16. A
// narrow std::string from Windows (its A functions, IP Helper records, system messages) is in
// the ANSI code page; UTF-8 is what the wire, the files and the SDK carry, and it is always
// converted by name (encode_utf8 / decode_utf8) or typed as std::u8string.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

namespace str {

// UTF-16 to UTF-8 and back. Ill-formed input (a lone surrogate, a bad byte sequence)
// becomes U+FFFD; nothing is dropped silently.
std::string encode_utf8(std::wstring_view text);
std::wstring decode_utf8(std::string_view bytes);

// Narrow text in the ANSI code page (GetACP) to UTF-16.
std::wstring as_wstring(std::string_view ansi);
// UTF-8 to UTF-16, as decode_utf8.
std::wstring as_wstring(std::u8string_view utf8);
inline std::wstring as_wstring(std::wstring_view text) {
    return std::wstring(text);
}
// UTF-16 to UTF-8, as encode_utf8: the narrow texts handed to the usage-intelligence SDK,
// which takes UTF-8.
std::string as_cstring(std::wstring_view text);
std::u8string as_u8string(std::string_view bytes);

// Every occurrence of `from` (non-empty) replaced by `to`, scanning left to right.
std::wstring replace_all(std::wstring text, std::wstring_view from, std::wstring_view to);

// Pieces of `text` between any of the `separators` characters. Empty pieces are kept, so
// "a==b" split at "=" gives "a", "", "b"; an empty text gives no pieces.
std::vector<std::wstring> split(std::wstring_view text, std::wstring_view separators);

// The text of string resource `id` of the running executable; empty when there is none.
std::wstring load_wstring(unsigned int id);

// printf-style formatting with the C meaning of the conversions. Use %ls for wide-string
// arguments and %lld / %llu for 64-bit numbers.
std::wstring snprintf(const wchar_t* format, ...);
std::wstring vsnprintf(const wchar_t* format, va_list args);

} // namespace str
