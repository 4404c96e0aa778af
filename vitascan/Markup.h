// The report's markup: the one writer that every block, the WMI renderer, the group markup
// and the document write through, and the escaping every machine value passes.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace vitascan {

// The Char production of XML 1.0, applied to one UTF-16 code unit (so both halves of a
// surrogate pair are rejected).
bool IsXmlChar(std::uint32_t c);

// Drops what is not an XML character, writes the five markup characters as named entities,
// keeps LF and 0x20..0x7F, and writes every other unit as "&#nnn;" (three digits at least).
std::wstring XmlEscape(std::wstring_view text);
// The same, appended to `out`.
void AppendXmlEscaped(std::wstring& out, std::wstring_view text);

// "819 B", "1 KB", "5 GB"...: the largest unit of which the count is at least 0.8. A non-zero
// roundTo first rounds the count to its nearest multiple (a tie goes down).
std::wstring FormatByteSize(std::uint64_t bytes, std::uint64_t roundTo);

// How a writer ends its lines. Each fragment keeps the line end the format has always given
// it: the document handed to the web service carries them as they are.
enum class LineEnd { Lf, CrLf };

// Appends markup to one string, the way a streaming XML writer does: the caller opens an
// element, adds its attributes, then ends the start tag, closes it empty or closes it later.
// Nothing here adds blanks or line ends of its own: Indent and EndLine say where they go.
class MarkupWriter {
public:
    MarkupWriter(std::wstring& out, LineEnd lineEnd) : out(out), lineEnd(lineEnd) {}

    // `count` blanks, or the given blanks.
    MarkupWriter& Indent(std::size_t count) {
        out.append(count, L' ');
        return *this;
    }
    MarkupWriter& Indent(std::wstring_view blanks) {
        out += blanks;
        return *this;
    }
    // "<name"; the start tag stays open for attributes.
    MarkupWriter& Open(std::wstring_view name) {
        out += L'<';
        out += name;
        return *this;
    }
    // ` name="value"` with the value escaped. The name is written as given: the format's own
    // names, and a group data point's name, which the client is trusted to keep to names XML
    // allows.
    MarkupWriter& Attribute(std::wstring_view name, std::wstring_view value);
    // The same with the name escaped too: for names the machine reports (WMI properties).
    MarkupWriter& AttributeNamedByMachine(std::wstring_view name, std::wstring_view value);
    // ` name="decimal"`.
    template <std::integral T> MarkupWriter& Number(std::wstring_view name, T value) {
        if constexpr (std::signed_integral<T>)
            return SignedNumber(name, value);
        else
            return UnsignedNumber(name, value);
    }
    // ` name="value"` with the value as it is, between the given quotes. Only where the format
    // fixes a value as unescaped; each use says why.
    MarkupWriter& RawAttribute(std::wstring_view name, std::wstring_view value,
                               wchar_t quote = L'"') {
        StartAttribute(name, quote);
        out += value;
        out += quote;
        return *this;
    }

    // ">": the element gets content.
    MarkupWriter& EndStartTag() {
        out += L'>';
        return *this;
    }
    // "/>", or " />" where the format puts a blank before it.
    MarkupWriter& SelfClose() {
        out.append(L"/>", 2);
        return *this;
    }
    MarkupWriter& SpacedSelfClose() {
        out.append(L" />", 3);
        return *this;
    }
    // "</name>".
    MarkupWriter& Close(std::wstring_view name) {
        out.append(L"</", 2);
        out += name;
        out += L'>';
        return *this;
    }
    // Element content, escaped.
    MarkupWriter& Content(std::wstring_view text) {
        AppendXmlEscaped(out, text);
        return *this;
    }
    MarkupWriter& EndLine() {
        if (lineEnd == LineEnd::CrLf)
            out.append(L"\r\n", 2);
        else
            out += L'\n';
        return *this;
    }

    // Whole lines: the indent, "<name>" or "</name>", the line end.
    MarkupWriter& StartElementLine(std::size_t indent, std::wstring_view name) {
        return Indent(indent).Open(name).EndStartTag().EndLine();
    }
    MarkupWriter& EndElementLine(std::size_t indent, std::wstring_view name) {
        return Indent(indent).Close(name).EndLine();
    }
    // The XML declaration, then the line end.
    MarkupWriter& Declaration();

private:
    // ` name=` and the opening quote.
    void StartAttribute(std::wstring_view name, wchar_t quote) {
        // Composed first and appended at once: a file listing writes this 400,000 times.
        constexpr std::size_t kShort = 29;
        if (name.size() > kShort) {
            out += L' ';
            out += name;
            out += L'=';
            out += quote;
            return;
        }
        wchar_t start[kShort + 3];
        start[0] = L' ';
        name.copy(start + 1, name.size());
        start[name.size() + 1] = L'=';
        start[name.size() + 2] = quote;
        out.append(start, name.size() + 3);
    }
    MarkupWriter& SignedNumber(std::wstring_view name, std::int64_t value);
    MarkupWriter& UnsignedNumber(std::wstring_view name, std::uint64_t value);

    std::wstring& out;
    LineEnd lineEnd;
};

} // namespace vitascan
