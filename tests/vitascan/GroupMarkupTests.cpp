#include "vitascan/Report.h"

#include <gtest/gtest.h>

namespace {

// The group markup sits between the root start tag and the closing tag.
std::wstring GroupText(const vitascan::Report& report) {
    const std::wstring document = report.GetDocument();
    const size_t start = document.find(L"'>\r\n") + 4;
    const size_t end = document.rfind(L"</vitascan>\r\n");
    return document.substr(start, end - start);
}

TEST(GroupMarkup, NestedGroupsCloseTheParentStartTag) {
    vitascan::Report report;
    report.StartGroup(L"a");
    report.StartGroup(L"b");
    report.SetDataPoint(L"x", L"1<2");
    report.EndGroup();
    report.EndGroup();
    EXPECT_EQ(GroupText(report), L"<a>\r\n  <b x=\"1&lt;2\" />\r\n</a>\r\n");
}

TEST(GroupMarkup, DataPointAfterAChildGroupFollowsTheChildsLine) {
    vitascan::Report report;
    report.StartGroup(L"a");
    report.SetDataPoint(L"first", L"1");
    report.StartGroup(L"b");
    report.EndGroup();
    report.SetDataPoint(L"late", L"2");
    report.EndGroup();
    EXPECT_EQ(GroupText(report), L"<a first=\"1\">\r\n  <b />\r\n late=\"2\"</a>\r\n");
}

TEST(GroupMarkup, IndentsTwoBlanksPerOpenGroup) {
    vitascan::Report report;
    for (const wchar_t* name : {L"g0", L"g1", L"g2", L"g3"})
        report.StartGroup(name);
    for (int i = 0; i < 4; ++i)
        report.EndGroup();
    EXPECT_EQ(GroupText(report), L"<g0>\r\n  <g1>\r\n    <g2>\r\n      <g3 />\r\n    </g2>\r\n"
                                 L"  </g1>\r\n</g0>\r\n");
}

TEST(GroupMarkup, NamesAreWrittenAsGivenAndValuesEscaped) {
    vitascan::Report report;
    report.EndGroup(); // nothing open: no effect
    report.StartGroup(L"g&");
    report.SetDataPoint(L"n<", L"a&\"'\t\u00e9");
    report.EndGroup();
    report.EndGroup();
    EXPECT_EQ(GroupText(report), L"<g& n<=\"a&amp;&quot;&apos;&#009;&#233;\" />\r\n");
}

TEST(GroupMarkup, SiblingGroupsAfterAnEndedGroupStartOnTheirOwnLine) {
    vitascan::Report report;
    report.StartGroup(L"events");
    report.StartGroup(L"event");
    report.SetDataPoint(L"name", L"file.open");
    report.EndGroup();
    report.StartGroup(L"event");
    report.EndGroup();
    report.EndGroup();
    EXPECT_EQ(GroupText(report),
              L"<events>\r\n  <event name=\"file.open\" />\r\n  <event />\r\n</events>\r\n");
}

} // namespace
