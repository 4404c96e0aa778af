// The grammar base of the runtime support library: codecs that turn one value into a narrow
// text and back, the item sequence every list travels in, and the status codec.
#pragma once

#include "platform/gtl_status.h"

#include <string>
#include <vector>

namespace kes::grammar {

namespace impl {

// Base of every codec: it owns one value of its type.
template <typename T> class GrammarOfTypeCommon {
public:
    virtual void Encode(std::string& out) const = 0;
    virtual void Decode(const std::string& in) = 0;
    virtual ~GrammarOfTypeCommon() = default;

    T value{};
};

// The two special characters of a sequence.
class GrammarSequenceCommon {
public:
    GrammarSequenceCommon(char separatorChar, char escapeChar)
        : separator(separatorChar), escape(escapeChar) {}

    char separator;
    char escape;
};

template <typename T>
class GrammarSequenceOf : public GrammarOfTypeCommon<T>, public GrammarSequenceCommon {
public:
    using GrammarSequenceCommon::GrammarSequenceCommon;
};

} // namespace impl

// Codecs exist per type; each is a specialisation.
template <typename T> class GrammarOfType;

// Items joined with the separator. Inside an item the escape character is doubled and the
// separator is written after an escape character; decoding reads the escape character
// followed by any character as that character, and a lone escape at the very end as itself.
// An empty text is no items, so one empty item and no items both encode to "".
class Sequence : public impl::GrammarSequenceOf<std::vector<std::string>>,
                 private gtl::not_copyable {
public:
    Sequence(char separatorChar, char escapeChar);
    void Encode(std::string& out) const override;
    void Decode(const std::string& in) override;
};

// Success is the empty text. An error is a sequence (";", "&") of three items: the message
// in UTF-8, the source file (empty when none) and the line in decimal (0 when none). Any
// other non-empty text reads as an error whose message is the whole text.
template <> class GrammarOfType<gtl::status> : public impl::GrammarOfTypeCommon<gtl::status> {
public:
    void Encode(std::string& out) const override;
    void Decode(const std::string& in) override;
};

} // namespace kes::grammar
