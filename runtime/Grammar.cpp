#include "platform/kes_grammar.h"

#include "platform/math_convert.h"
#include "platform/str_convert.h"

namespace kes::grammar {

Sequence::Sequence(char separatorChar, char escapeChar)
    : impl::GrammarSequenceOf<std::vector<std::string>>(separatorChar, escapeChar) {}

void Sequence::Encode(std::string& out) const {
    out.clear();
    for (size_t i = 0; i < value.size(); ++i) {
        if (i > 0)
            out += separator;
        for (const char c : value[i]) {
            if (c == separator || c == escape)
                out += escape;
            out += c;
        }
    }
}

void Sequence::Decode(const std::string& in) {
    value.clear();
    if (in.empty())
        return;
    value.emplace_back();
    for (size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == escape) {
            // A lone escape at the very end stands for itself.
            value.back() += (i + 1 < in.size()) ? in[++i] : c;
        } else if (c == separator) {
            value.emplace_back();
        } else {
            value.back() += c;
        }
    }
}

void GrammarOfType<gtl::status>::Encode(std::string& out) const {
    out.clear();
    if (value.ok())
        return;
    Sequence items(';', '&');
    items.value = {str::encode_utf8(value.message()), value.file(),
                   math::impl::ConvertInt<std::uint32_t>::to_string(value.line())};
    items.Encode(out);
}

void GrammarOfType<gtl::status>::Decode(const std::string& in) {
    if (in.empty()) {
        value = gtl::status();
        return;
    }
    Sequence items(';', '&');
    items.Decode(in);
    if (items.value.size() == 3) {
        try {
            const std::uint32_t line =
                math::impl::ConvertInt<std::uint32_t>::from_string(items.value[2]);
            value = gtl::status::error(str::decode_utf8(items.value[0]), items.value[1], line);
            return;
        } catch (const gtl::status_exception&) {
            // Not a line number: fall through to the whole-text reading.
        }
    }
    value = gtl::status::error(str::decode_utf8(in));
}

} // namespace kes::grammar
