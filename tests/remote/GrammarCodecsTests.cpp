// The codecs of the remote calls' arguments and replies: scalars, tuples and the reply pair.
#include "tests/GrammarText.h"

#include <gtest/gtest.h>

namespace {

using testing_support::Decode;
using testing_support::Encode;
using testing_support::Items;
using Pair = std::tuple<std::wstring, std::wstring>;
using Reply = kes::grammar::GrammarOfFunctionReturn<std::function<std::tuple<gtl::status, bool>()>,
                                                    std::tuple<gtl::status, bool>>;

TEST(ScalarCodecs, NumbersBooleansAndTexts) {
    EXPECT_EQ(Encode<unsigned int>(4294967295u), "4294967295");
    EXPECT_THROW(Decode<unsigned int>("-1"), gtl::status_exception);
    EXPECT_EQ(Encode(false), "f");
    EXPECT_TRUE(Decode<bool>("t"));
    for (const char* notTrue : {"f", "T", "true", "1", "", "tt"})
        EXPECT_FALSE(Decode<bool>(notTrue)) << notTrue;
    EXPECT_EQ(Encode(std::wstring(L"\u4e2d\U0001F600")), "\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(Decode<std::wstring>("\xE4\xB8\xAD\xF0\x9F\x98\x80"), L"\u4e2d\U0001F600");
    EXPECT_EQ(Decode<std::string>("raw\xFF"), "raw\xFF");
}

TEST(TupleCodec, RoundTripsItemsHoldingTheSpecialCharacters) {
    for (const Pair& value :
         {Pair{L"a;b", L"c&d"}, Pair{L"", L""}, Pair{L"&", L";"}, Pair{L"\u00e9;", L"x"}})
        EXPECT_EQ(Decode<Pair>(Encode(value)), value);
    // One empty element is the empty text; two elements need two items.
    EXPECT_EQ(Encode(std::tuple<std::wstring>(L"")), "");
    EXPECT_EQ(Decode<std::tuple<std::wstring>>(""), std::tuple<std::wstring>(L""));
    EXPECT_EQ(Decode<std::tuple<std::wstring>>("a&;b"), std::tuple<std::wstring>(L"a;b"));
    EXPECT_THROW(Decode<Pair>(""), gtl::status_exception);
    // The empty tuple ignores any text.
    EXPECT_NO_THROW(Decode<std::tuple<>>("anything;at;all"));
}

TEST(TupleCodec, WrongItemCountIsASyntaxErrorAtItsFixedLocationAndAssignsNothing) {
    for (const char* text : {"one", "a;b;c"}) {
        kes::grammar::GrammarOfType<Pair> codec;
        codec.value = {L"kept", L"kept"};
        try {
            codec.Decode(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const gtl::status_exception& e) {
            EXPECT_EQ(e.get_status().file(), "Common/grammar_Tuple");
            EXPECT_EQ(e.get_status().line(), 117u);
            EXPECT_NE(e.get_status().message().find(str::decode_utf8(text)), std::wstring::npos);
        }
        EXPECT_EQ(codec.value, Pair(L"kept", L"kept"));
    }
}

TEST(ReplyCodec, NestedPairTakesTwoSequencePassesAndVoidIsEmpty) {
    Reply reply;
    reply.value = {gtl::status(), {gtl::status::error(L"no;disk \u00e9", "f", 3), true}};
    std::string text;
    reply.Encode(text);
    const std::vector<std::string> outer = Items(text);
    ASSERT_EQ(outer.size(), 2u);
    EXPECT_EQ(outer[0], "");
    EXPECT_EQ(Items(outer[1]), (std::vector<std::string>{"no&;disk \xC3\xA9;f;3", "t"}));

    kes::grammar::GrammarOfFunctionReturn<std::function<void(std::wstring)>, void> none;
    none.Encode(text);
    EXPECT_EQ(text, ";");
}

} // namespace
