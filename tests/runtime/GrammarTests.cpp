#include "tests/GrammarText.h"

#include <gtest/gtest.h>

namespace {

using testing_support::Decode;
using testing_support::Encode;
using testing_support::Items;
using Strings = std::vector<std::string>;

TEST(Sequence, EscapesSeparatorAndEscapeInsideItems) {
    kes::grammar::Sequence sequence(';', '&');
    sequence.value = {"a;b", "c&d", "", "&;", "plain"};
    std::string text;
    sequence.Encode(text);
    EXPECT_EQ(text, "a&;b;c&&d;;&&&;;plain");
    EXPECT_EQ(Items(text), sequence.value);
    // A lone escape at the end is itself; before any other character it is dropped.
    for (const auto& [in, out] : std::vector<std::pair<std::string, Strings>>{
             {"", {}}, {";", {"", ""}}, {"a&", {"a&"}}, {"&x&;", {"x;"}}})
        EXPECT_EQ(Items(in), out) << in;
}

TEST(StatusCodec, SuccessIsEmptyAndErrorsKeepEveryField) {
    EXPECT_EQ(Encode(gtl::status()), "");
    EXPECT_TRUE(Decode<gtl::status>("").ok());
    const gtl::status error = gtl::status::error(L"bad; very & bad \u00e9", "a/b_c", 4294967295u);
    EXPECT_TRUE(Decode<gtl::status>(Encode(error)) == error);
    EXPECT_TRUE(Decode<gtl::status>(Encode(gtl::status::error(L""))).failed());
    // Anything else non-empty is an error whose message is the whole text.
    for (const char* odd : {"just words", "a;b", "m;f;notaline"}) {
        const gtl::status read = Decode<gtl::status>(odd);
        EXPECT_TRUE(read.failed());
        EXPECT_EQ(read.message(), str::decode_utf8(odd));
        EXPECT_EQ(read.line(), 0u);
    }
}

} // namespace
