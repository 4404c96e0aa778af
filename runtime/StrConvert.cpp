#include "platform/str_convert.h"

#include <algorithm>
#include <climits>
#include <cwchar>

#include <windows.h>

namespace str {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::wstring& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<wchar_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    }
}

template <typename Byte> std::wstring DecodeUtf8(const Byte* data, size_t size) {
    std::wstring out;
    out.reserve(size);
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = static_cast<unsigned char>(data[i]);
        if (lead < 0x80) {
            // A run of ASCII widens in one go: long texts (embedded files) are mostly ASCII.
            size_t end = i + 1;
            while (end < size && static_cast<unsigned char>(data[end]) < 0x80)
                ++end;
            const size_t at = out.size();
            out.resize(at + (end - i));
            wchar_t* target = out.data() + at;
            for (; i < end; ++i)
                *target++ = static_cast<wchar_t>(static_cast<unsigned char>(data[i]));
            continue;
        }
        int extra;
        char32_t cp;
        char32_t minimum;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, cp = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2, cp = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, cp = lead & 0x07, minimum = 0x10000;
        } else {
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        int taken = 0;
        while (taken < extra && j < size && (static_cast<unsigned char>(data[j]) & 0xC0) == 0x80) {
            cp = (cp << 6) | (static_cast<unsigned char>(data[j]) & 0x3F);
            ++j, ++taken;
        }
        // A truncated or overlong sequence, a surrogate or a value past U+10FFFF is one
        // replacement character for the bytes consumed so far.
        if (taken < extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            AppendUtf16(out, kReplacement);
        else
            AppendUtf16(out, cp);
        i = j;
    }
    return out;
}

} // namespace

std::string encode_utf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = static_cast<char16_t>(text[i]);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
            const char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? kReplacement : unit);
    }
    return out;
}

std::wstring decode_utf8(std::string_view bytes) {
    return DecodeUtf8(bytes.data(), bytes.size());
}

std::wstring as_wstring(std::string_view ansi) {
    if (ansi.empty())
        return {};
    // Texts past 2 GiB do not come from the system's A functions; what fits is converted.
    const int size = static_cast<int>(std::min<size_t>(ansi.size(), INT_MAX));
    const int length = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring out(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, out.data(), length);
    return out;
}

std::wstring as_wstring(std::u8string_view utf8) {
    return DecodeUtf8(utf8.data(), utf8.size());
}

std::string as_cstring(std::wstring_view text) {
    return encode_utf8(text);
}

std::u8string as_u8string(std::string_view bytes) {
    return std::u8string(reinterpret_cast<const char8_t*>(bytes.data()), bytes.size());
}

std::wstring replace_all(std::wstring text, std::wstring_view from, std::wstring_view to) {
    if (from.empty())
        return text;
    std::wstring out;
    out.reserve(text.size());
    size_t start = 0;
    for (size_t hit; (hit = text.find(from, start)) != std::wstring::npos;
         start = hit + from.size())
        out.append(text, start, hit - start).append(to);
    out.append(text, start, std::wstring::npos);
    return out;
}

std::vector<std::wstring> split(std::wstring_view text, std::wstring_view separators) {
    std::vector<std::wstring> pieces;
    if (text.empty())
        return pieces;
    size_t start = 0;
    for (;;) {
        const size_t hit = text.find_first_of(separators, start);
        if (hit == std::wstring_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, hit - start));
        start = hit + 1;
    }
}

std::wstring load_wstring(unsigned int id) {
    // With a zero buffer size LoadStringW hands out a pointer into the resource itself.
    const wchar_t* text = nullptr;
    const int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        return {};
    return std::wstring(text, static_cast<size_t>(length));
}

std::wstring vsnprintf(const wchar_t* format, va_list args) {
    std::wstring buffer(256, L'\0');
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size()) {
            buffer.resize(static_cast<size_t>(written));
            return buffer;
        }
        if (buffer.size() >= (size_t{1} << 26))
            return {}; // a format that cannot be satisfied; never loop without end
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring snprintf(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = vsnprintf(format, args);
    va_end(args);
    return text;
}

} // namespace str
