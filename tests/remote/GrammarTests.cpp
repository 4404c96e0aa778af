#include "Common/grammar_Tuple.h"

#include <gtest/gtest.h>

namespace {

using kes::grammar::GrammarOfFunctionReturn;
using kes::grammar::GrammarOfType;
using kes::grammar::Sequence;

template <typename T> std::string Encode(const T& value) {
    GrammarOfType<T> codec;
    codec.value = value;
    std::string out = "stale";
    codec.Encode(out);
    return out;
}

template <typename T> T Decode(const std::string& text) {
    GrammarOfType<T> codec;
    codec.Decode(text);
    return codec.value;
}

std::vector<std::string> Items(const std::string& text) {
    Sequence sequence(';', '&');
    sequence.Decode(text);
    return sequence.value;
}

TEST(Sequence, EscapesSeparatorAndEscapeInsideItems) {
    Sequence sequence(';', '&');
    sequence.value = {"a;b", "c&d", "", "&;", "plain"};
    std::string text;
    sequence.Encode(text);
    EXPECT_EQ(text, "a&;b;c&&d;;&&&;;plain");
    EXPECT_EQ(Items(text), sequence.value);

    EXPECT_TRUE(Items("").empty());
    EXPECT_EQ(Items(";"), (std::vector<std::string>{"", ""}));
    // A lone escape at the end is itself; before any other character it is dropped.
    EXPECT_EQ(Items("a&"), (std::vector<std::string>{"a&"}));
    EXPECT_EQ(Items("&x&;"), (std::vector<std::string>{"x;"}));
}

TEST(StatusCodec, SuccessIsEmptyAndErrorsKeepEveryField) {
    EXPECT_EQ(Encode(gtl::status()), "");
    EXPECT_TRUE(Decode<gtl::status>("").ok());

    const gtl::status error =
        gtl::status::error(L"bad; very & bad \u00e9", "Common/grammar_Tuple", 117);
    const std::string text = Encode(error);
    EXPECT_EQ(Items(text), (std::vector<std::string>{"bad; very & bad \xC3\xA9",
                                                     "Common/grammar_Tuple", "117"}));
    EXPECT_TRUE(Decode<gtl::status>(text) == error);
    // Even an error without any text stays an error.
    EXPECT_TRUE(Decode<gtl::status>(Encode(gtl::status::error(L""))).failed());
    // Anything else non-empty is an error whose message is the whole text.
    for (const char* odd : {"just words", "a;b", "m;f;notaline"}) {
        const gtl::status read = Decode<gtl::status>(odd);
        EXPECT_TRUE(read.failed());
        EXPECT_EQ(read.message(), str::decode_utf8(odd));
        EXPECT_EQ(read.line(), 0u);
    }
}

TEST(ScalarCodecs, NumbersBooleansAndTexts) {
    EXPECT_EQ(Encode<unsigned int>(4294967295u), "4294967295");
    EXPECT_EQ(Encode<int>(-7), "-7");
    EXPECT_EQ(Decode<int>("-2147483648"), INT_MIN);
    EXPECT_THROW(Decode<unsigned int>("-1"), gtl::status_exception);
    EXPECT_THROW(Decode<unsigned int>(""), gtl::status_exception);
    EXPECT_EQ(Encode(true), "t");
    EXPECT_EQ(Encode(false), "f");
    EXPECT_TRUE(Decode<bool>("t"));
    for (const char* notTrue : {"f", "T", "true", "1", "", "tt"})
        EXPECT_FALSE(Decode<bool>(notTrue)) << notTrue;
    EXPECT_EQ(Encode(std::wstring(L"\u4e2d\U0001F600")), "\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(Decode<std::wstring>("\xE4\xB8\xAD\xF0\x9F\x98\x80"), L"\u4e2d\U0001F600");
    EXPECT_EQ(Decode<std::string>("raw\xFF"), "raw\xFF");
}

TEST(TupleCodec, RoundTripsItemsHoldingTheSpecialCharacters) {
    using Pair = std::tuple<std::wstring, std::wstring>;
    for (const Pair& value :
         {Pair{L"a;b", L"c&d"}, Pair{L"", L""}, Pair{L"&", L";"}, Pair{L"\u00e9;", L"x"}}) {
        const std::string text = Encode(value);
        EXPECT_EQ(Items(text).size(), 2u);
        EXPECT_EQ(Decode<Pair>(text), value);
    }
    EXPECT_EQ(Encode(std::tuple<std::wstring, unsigned int>(L"x", 7)), "x;7");
    EXPECT_EQ((Decode<std::tuple<std::wstring, unsigned int>>("x;7")),
              (std::tuple<std::wstring, unsigned int>(L"x", 7)));
}

TEST(TupleCodec, OneEmptyElementIsTheEmptyText) {
    EXPECT_EQ(Encode(std::tuple<std::wstring>(L"")), "");
    EXPECT_EQ(Decode<std::tuple<std::wstring>>(""), std::tuple<std::wstring>(L""));
    EXPECT_EQ(Decode<std::tuple<std::wstring>>("a&;b"), std::tuple<std::wstring>(L"a;b"));
    // The fix is for one element only: two elements need two items.
    EXPECT_THROW((Decode<std::tuple<std::wstring, std::wstring>>("")), gtl::status_exception);
}

TEST(TupleCodec, WrongItemCountIsASyntaxErrorAtLine117AndAssignsNothing) {
    for (const char* text : {"one", "a;b;c"}) {
        GrammarOfType<std::tuple<std::wstring, std::wstring>> codec;
        codec.value = {L"kept", L"kept"};
        try {
            codec.Decode(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const gtl::status_exception& e) {
            EXPECT_EQ(e.get_status().file(), "Common/grammar_Tuple");
            EXPECT_EQ(e.get_status().line(), 117u);
            EXPECT_NE(e.get_status().message().find(str::decode_utf8(text)), std::wstring::npos);
        }
        EXPECT_EQ(codec.value, (std::tuple<std::wstring, std::wstring>(L"kept", L"kept")));
    }
    // A bad number in the second item leaves the first unassigned too.
    GrammarOfType<std::tuple<std::wstring, unsigned int>> codec;
    codec.value = {L"kept", 1};
    EXPECT_THROW(codec.Decode("new;x"), gtl::status_exception);
    EXPECT_EQ(std::get<0>(codec.value), L"kept");
}

TEST(TupleCodec, EmptyTupleIgnoresAnyText) {
    GrammarOfType<std::tuple<>> codec;
    EXPECT_NO_THROW(codec.Decode("anything;at;all"));
    std::string out = "untouched";
    codec.Encode(out);
    EXPECT_EQ(out, "untouched");
}

TEST(ReplyCodec, NestedPairTakesTwoSequencePasses) {
    GrammarOfFunctionReturn<std::function<std::tuple<gtl::status, bool>()>,
                            std::tuple<gtl::status, bool>>
        reply;
    reply.value = {gtl::status(), {gtl::status::error(L"no;disk", "f", 3), true}};
    std::string text;
    reply.Encode(text);
    const std::vector<std::string> outer = Items(text);
    ASSERT_EQ(outer.size(), 2u);
    EXPECT_EQ(outer[0], "");
    const std::vector<std::string> inner = Items(outer[1]);
    ASSERT_EQ(inner.size(), 2u);
    EXPECT_EQ(inner[1], "t");
    EXPECT_EQ(Decode<gtl::status>(inner[0]).message(), L"no;disk");

    GrammarOfFunctionReturn<std::function<std::tuple<gtl::status, bool>()>,
                            std::tuple<gtl::status, bool>>
        back;
    back.Decode(text);
    EXPECT_TRUE(std::get<0>(back.value).ok());
    EXPECT_TRUE(std::get<1>(std::get<1>(back.value)));
    EXPECT_TRUE(std::get<0>(std::get<1>(back.value)) == gtl::status::error(L"no;disk", "f", 3));
}

TEST(ReplyCodec, VoidResultIsAnEmptyNarrowText) {
    GrammarOfFunctionReturn<std::function<void(std::wstring)>, void> reply;
    static_assert(std::is_same_v<decltype(reply.value), std::tuple<gtl::status, std::string>>);
    std::string text;
    reply.Encode(text);
    EXPECT_EQ(text, ";");
    reply.value = {gtl::status::error(L"x"), ""};
    reply.Encode(text);
    EXPECT_EQ(Items(text).size(), 2u);
    EXPECT_EQ(Items(text)[1], "");
}

} // namespace
