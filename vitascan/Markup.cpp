#include "vitascan/Markup.h"

#include "platform/str_convert.h"

#include <algorithm>
#include <cmath>

namespace vitascan {

bool IsXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

namespace {

// Units written as they are: LF and 0x20..0x7F except the five markup characters.
bool IsPlain(wchar_t unit) {
    return unit == 0x0A || (unit >= 0x20 && unit <= 0x7F && unit != 0x22 && unit != 0x26 &&
                            unit != 0x27 && unit != 0x3C && unit != 0x3E);
}

void AppendEscapedUnit(std::wstring& out, wchar_t unit) {
    const std::uint32_t c = static_cast<char16_t>(unit);
    if (!IsXmlChar(c))
        return;
    switch (c) {
    case 0x22:
        out.append(L"&quot;", 6);
        return;
    case 0x26:
        out.append(L"&amp;", 5);
        return;
    case 0x27:
        out.append(L"&apos;", 6);
        return;
    case 0x3C:
        out.append(L"&lt;", 4);
        return;
    case 0x3E:
        out.append(L"&gt;", 4);
        return;
    }
    // "&#%03d;", built in place and appended at once.
    wchar_t text[10];
    wchar_t* end = text + 10;
    wchar_t* at = end;
    *--at = L';';
    int digits = 0;
    for (std::uint32_t v = c; v != 0 || digits < 3; v /= 10, ++digits)
        *--at = static_cast<wchar_t>(L'0' + v % 10);
    *--at = L'#';
    *--at = L'&';
    out.append(at, static_cast<size_t>(end - at));
}

} // namespace

void AppendXmlEscaped(std::wstring& out, std::wstring_view text) {
    // Plain runs are copied whole: embedded file content is mostly plain text.
    const wchar_t* unit = text.data();
    const wchar_t* const end = unit + text.size();
    while (unit != end) {
        const wchar_t* const run = unit;
        while (unit != end && IsPlain(*unit))
            ++unit;
        out.append(run, static_cast<size_t>(unit - run));
        if (unit != end)
            AppendEscapedUnit(out, *unit++);
    }
}

std::wstring XmlEscape(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    AppendXmlEscaped(out, text);
    return out;
}

namespace {

// Digits of `value`, most significant first, ending at `end`; returns where they start.
wchar_t* DecimalDigits(std::uint64_t value, wchar_t* end) {
    wchar_t* at = end;
    do {
        *--at = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return at;
}

// The decimal digits of `count`, a blank and the unit.
std::wstring CountOf(std::uint64_t count, const wchar_t* unit) {
    wchar_t buffer[24];
    wchar_t* const end = buffer + 24;
    const wchar_t* at = DecimalDigits(count, end);
    return std::wstring(at, static_cast<size_t>(end - at)) + unit;
}

// "%1.0f" of `value` and the unit. printf rounds to the nearest whole number; only an exact
// half, where runtimes differ in which way they round, is left to the runtime's formatter.
// The values here are byte counts times a power of two, below 2^25, so their fraction is
// exact.
std::wstring WholeUnits(double value, const wchar_t* unit) {
    const double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction == 0.5)
        return str::snprintf(L"%1.0f", value) + unit;
    return CountOf(static_cast<std::uint64_t>(fraction < 0.5 ? whole : whole + 1), unit);
}

} // namespace

std::wstring FormatByteSize(std::uint64_t bytes, std::uint64_t roundTo) {
    if (roundTo != 0 && bytes % roundTo != 0) {
        const std::uint64_t lower = bytes - bytes % roundTo;
        // An upper multiple past the 64-bit range cannot be taken.
        if (lower <= UINT64_MAX - roundTo) {
            const std::uint64_t upper = lower + roundTo;
            bytes = (upper - bytes < bytes - lower) ? upper : lower;
        } else {
            bytes = lower;
        }
    }
    const double kilobytes = static_cast<double>(bytes) * 0.0009765625;
    const double megabytes = kilobytes * 0.0009765625;
    const double gigabytes = megabytes * 0.0009765625;
    const double terabytes = gigabytes * 0.0009765625;
    if (terabytes >= 0.8)
        return WholeUnits(terabytes, L" TB");
    if (gigabytes >= 0.8)
        return WholeUnits(gigabytes, L" GB");
    if (megabytes >= 0.8)
        return WholeUnits(megabytes, L" MB");
    if (kilobytes >= 0.8)
        return WholeUnits(kilobytes, L" KB");
    return CountOf(bytes, L" B");
}

MarkupWriter& MarkupWriter::Attribute(std::wstring_view name, std::wstring_view value) {
    // A short value with nothing to escape, as most are, goes in with its name in one append.
    constexpr size_t kShort = 60;
    if (name.size() + value.size() <= kShort &&
        std::all_of(value.begin(), value.end(), [](wchar_t unit) { return IsPlain(unit); })) {
        wchar_t text[kShort + 4];
        text[0] = L' ';
        wchar_t* at = text + 1 + name.copy(text + 1, name.size());
        *at++ = L'=';
        *at++ = L'"';
        at += value.copy(at, value.size());
        *at++ = L'"';
        out.append(text, static_cast<size_t>(at - text));
        return *this;
    }
    StartAttribute(name, L'"');
    AppendXmlEscaped(out, value);
    out += L'"';
    return *this;
}

MarkupWriter& MarkupWriter::AttributeNamedByMachine(std::wstring_view name,
                                                    std::wstring_view value) {
    out += L' ';
    AppendXmlEscaped(out, name);
    out.append(L"=\"", 2);
    AppendXmlEscaped(out, value);
    out += L'"';
    return *this;
}

MarkupWriter& MarkupWriter::SignedNumber(std::wstring_view name, std::int64_t value) {
    wchar_t buffer[24];
    wchar_t* const end = buffer + 24;
    // The magnitude in unsigned arithmetic: the smallest value has no positive counterpart.
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    wchar_t* at = DecimalDigits(magnitude, end);
    if (value < 0)
        *--at = L'-';
    return RawAttribute(name, std::wstring_view(at, static_cast<size_t>(end - at)));
}

MarkupWriter& MarkupWriter::UnsignedNumber(std::wstring_view name, std::uint64_t value) {
    wchar_t buffer[24];
    wchar_t* const end = buffer + 24;
    const wchar_t* at = DecimalDigits(value, end);
    // Digits need no escaping.
    return RawAttribute(name, std::wstring_view(at, static_cast<size_t>(end - at)));
}

MarkupWriter& MarkupWriter::Declaration() {
    out += L"<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    return EndLine();
}

} // namespace vitascan
