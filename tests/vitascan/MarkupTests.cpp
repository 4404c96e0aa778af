#include "vitascan/Markup.h"

#include <gtest/gtest.h>

namespace {

using namespace vitascan;

TEST(XmlEscape, NamedEntitiesNumericReferencesAndDroppedNonCharacters) {
    for (const auto& [in, out] : std::vector<std::pair<std::wstring, std::wstring>>{
             {L"a<b&\"c\"'d'x>y", L"a&lt;b&amp;&quot;c&quot;&apos;d&apos;x&gt;y"},
             {L"a\tb\rc\nd", L"a&#009;b&#013;c\nd"},
             {L"\x7F\x80\u00e9\u4e2d", L"\x7F&#128;&#233;&#20013;"},
             // Both halves of a pair, a lone surrogate, U+FFFE, U+FFFF, other controls.
             {L"a\U0001F600b", L"ab"},
             {std::wstring{L'a', wchar_t(0xDC01), L'b'}, L"ab"},
             {std::wstring{wchar_t(0xFFFE), wchar_t(0xFFFF), wchar_t(0xFFFD)}, L"&#65533;"},
             {std::wstring{L'\x01', L'\x1B', L'\0', L'z'}, L"z"}}) {
        EXPECT_EQ(XmlEscape(in), out);
        std::wstring appended = L"<";
        AppendXmlEscaped(appended, in);
        EXPECT_EQ(appended, L"<" + out);
    }
}

TEST(FormatByteSize, PicksTheUnitFromEightyPercentAfterRoundingTiesDown) {
    constexpr std::uint64_t k8MiB = 0x800000;
    for (const auto& [bytes, roundTo, text] :
         std::vector<std::tuple<std::uint64_t, std::uint64_t, std::wstring>>{
             {819, 0, L"819 B"},
             {820, 0, L"1 KB"},
             {838861, 0, L"1 MB"},
             {5ull << 30, 0, L"5 GB"},
             {1ull << 40, 0, L"1 TB"},
             {12582912, k8MiB, L"8 MB"}, // exactly half-way
             {12582913, k8MiB, L"16 MB"},
             {8589869056ull, k8MiB, L"8 GB"},
             {100, k8MiB, L"0 B"},
             {UINT64_MAX, k8MiB, L"16777216 TB"}})
        EXPECT_EQ(FormatByteSize(bytes, roundTo), text) << bytes << " " << roundTo;
}

} // namespace
