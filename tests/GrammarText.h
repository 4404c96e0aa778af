// Encoding and decoding through the grammar codecs, for the codec and remote-call tests.
#pragma once

#include "remote/grammar_Tuple.h"

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

template <typename T> std::string Encode(const T& value) {
    kes::grammar::GrammarOfType<T> codec;
    codec.value = value;
    std::string out = "stale";
    codec.Encode(out);
    return out;
}

template <typename T> T Decode(const std::string& text) {
    kes::grammar::GrammarOfType<T> codec;
    codec.Decode(text);
    return codec.value;
}

// The sequence text of the items, as a request envelope or an argument list is written.
inline std::string SequenceText(std::vector<std::string> items) {
    kes::grammar::Sequence sequence(';', '&');
    sequence.value = std::move(items);
    std::string text;
    sequence.Encode(text);
    return text;
}

// The items of a sequence text.
inline std::vector<std::string> Items(const std::string& text) {
    kes::grammar::Sequence sequence(';', '&');
    sequence.Decode(text);
    return sequence.value;
}

} // namespace testing_support
