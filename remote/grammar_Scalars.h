// Codecs of the scalar types that remote-call arguments and results are made of; the tuple
// codecs (grammar_Tuple.h) build on them.
#pragma once

#include "platform/kes_grammar.h"
#include "platform/math_convert.h"
#include "platform/str_convert.h"

#include <string>

namespace kes::grammar {

namespace impl {
// Decimal text; decoding is as strict as the runtime's number conversion.
template <typename T> class GrammarNumeric : public GrammarOfTypeCommon<T> {
public:
    void Encode(std::string& out) const override {
        out = math::impl::ConvertInt<T>::to_string(this->value, 10);
    }
    void Decode(const std::string& in) override {
        this->value = math::impl::ConvertInt<T>::from_string(in);
    }
};
} // namespace impl

template <> class GrammarOfType<int> : public impl::GrammarNumeric<int> {};
template <> class GrammarOfType<unsigned int> : public impl::GrammarNumeric<unsigned int> {};

// The bytes as they are.
template <> class GrammarOfType<std::string> : public impl::GrammarOfTypeCommon<std::string> {
public:
    void Encode(std::string& out) const override { out = value; }
    void Decode(const std::string& in) override { value = in; }
};

// UTF-8.
template <> class GrammarOfType<std::wstring> : public impl::GrammarOfTypeCommon<std::wstring> {
public:
    void Encode(std::string& out) const override { out = str::encode_utf8(value); }
    void Decode(const std::string& in) override { value = str::decode_utf8(in); }
};

// "t" or "f"; only the single byte "t" reads as true, so decoding never fails.
template <> class GrammarOfType<bool> : public impl::GrammarOfTypeCommon<bool> {
public:
    void Encode(std::string& out) const override { out.assign(1, value ? 't' : 'f'); }
    void Decode(const std::string& in) override { value = in == "t"; }
};

} // namespace kes::grammar
