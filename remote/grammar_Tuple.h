// Tuple and reply codecs: a list of values travels as one sequence (";" separates items,
// "&" escapes), each item the text of one element's codec. The arguments of every call and
// every reply are such tuples; the suite's peer (tools/) uses the same codecs.
#pragma once

#include "Common/Failure.h"
#include "platform/kes_grammar.h"
#include "remote/grammar_Scalars.h"

#include <functional>
#include <tuple>
#include <utility>

namespace kes::grammar {

template <typename Tuple> class GrammarTuple;

template <typename... T>
class GrammarTuple<std::tuple<T...>> : public impl::GrammarOfTypeCommon<std::tuple<T...>>,
                                       public impl::GrammarSequenceCommon {
public:
    GrammarTuple() : impl::GrammarSequenceCommon(';', '&') {}

    void Encode(std::string& out) const override {
        if constexpr (sizeof...(T) > 0) {
            Sequence items(separator, escape);
            items.value.resize(sizeof...(T));
            EncodeItems(items, std::index_sequence_for<T...>{});
            items.Encode(out);
        }
    }

    void Decode(const std::string& in) override {
        if constexpr (sizeof...(T) > 0) {
            Sequence items(separator, escape);
            items.Decode(in);
            // One empty element encodes to the empty text, which is no items: read it back.
            if (sizeof...(T) == 1 && in.empty())
                items.value.emplace_back();
            if (items.value.size() != sizeof...(T))
                failure::ThrowAt(KesError::syntax(str::decode_utf8(in)), failure::kTupleItemCount);
            // Decode into a copy so that a failing element leaves the held value untouched.
            std::tuple<T...> decoded;
            DecodeItems(items, decoded, std::index_sequence_for<T...>{});
            this->value = std::move(decoded);
        }
    }

private:
    template <size_t... I> void EncodeItems(Sequence& items, std::index_sequence<I...>) const {
        (EncodeItem<I>(items.value[I]), ...);
    }
    template <size_t I> void EncodeItem(std::string& out) const {
        GrammarOfType<std::tuple_element_t<I, std::tuple<T...>>> codec;
        codec.value = std::get<I>(this->value);
        codec.Encode(out);
    }
    template <size_t... I>
    static void DecodeItems(const Sequence& items, std::tuple<T...>& out,
                            std::index_sequence<I...>) {
        (DecodeItem<I>(items.value[I], out), ...);
    }
    template <size_t I> static void DecodeItem(const std::string& text, std::tuple<T...>& out) {
        GrammarOfType<std::tuple_element_t<I, std::tuple<T...>>> codec;
        codec.Decode(text);
        std::get<I>(out) = std::move(codec.value);
    }
};

template <typename... T>
class GrammarOfType<std::tuple<T...>> : public GrammarTuple<std::tuple<T...>> {};

// Marks the reply codecs.
struct GrammarFunctionSpecialCharacters {};

// The reply of a call: (call status, result). A call without a result sends an empty text.
template <typename Function, typename R> class GrammarOfFunctionReturn;

template <typename R, typename... A>
class GrammarOfFunctionReturn<std::function<R(A...)>, R>
    : public GrammarOfType<std::tuple<gtl::status, R>>, public GrammarFunctionSpecialCharacters {};

template <typename... A>
class GrammarOfFunctionReturn<std::function<void(A...)>, void>
    : public GrammarOfType<std::tuple<gtl::status, std::string>>,
      public GrammarFunctionSpecialCharacters {};

} // namespace kes::grammar
