#include "analytics/AnalyticsService.h"
#include "analytics/EventsGroup.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using kes::analytics::legacy::FormatDuration;
using kes::analytics::legacy::impl::AnalyticsService;

// A clock the tests move by hand, in nanoseconds.
std::int64_t fakeNow = 0;
std::int64_t FakeClock() {
    return fakeNow;
}

constexpr std::int64_t kMs = 1000000;

class ServiceTest : public ::testing::Test {
protected:
    // The markup between the root start tag and the closing tag.
    static std::wstring Groups(AnalyticsService& service) {
        const std::wstring document = service.GetReport().GetDocument();
        const size_t start = document.find(L"'>\r\n") + 4;
        return document.substr(start, document.rfind(L"</vitascan>") - start);
    }
    // The service's origin is whatever the clock reads at construction.
    std::int64_t origin = (fakeNow = 7 * kMs);
    AnalyticsService service{1, &FakeClock};
};

TEST(FormatDuration, TruncatesEachUnit) {
    EXPECT_EQ(FormatDuration(0), L"0d 0:00:00.000");
    EXPECT_EQ(FormatDuration(90061001), L"1d 1:01:01.001");
    EXPECT_EQ(FormatDuration(59999), L"0d 0:00:59.999");
    EXPECT_EQ(FormatDuration(90000000), L"1d 1:00:00.000");
    EXPECT_EQ(FormatDuration(86399999), L"0d 23:59:59.999");
    EXPECT_EQ(FormatDuration(1000LL * 86400000), L"1000d 0:00:00.000");
}

TEST_F(ServiceTest, IdentifiersAreIndexesSharedByEveryKindOfEvent) {
    EXPECT_EQ(service.TrackTimedEventStart(L"a"), 0u);
    service.TrackEvent(L"b");
    service.TrackStringValueEvent(L"s", L"text");
    service.TrackUnsignedValueEvent(L"u", 9);
    EXPECT_EQ(service.TrackTimedEventStart(L"c"), 4u);

    const auto& events = service.Events();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[1].value, 4294967295u);
    EXPECT_EQ(events[2].value, 0u);
    EXPECT_EQ(events[2].text, L"text");
    EXPECT_EQ(events[3].value, 9u);
    for (const auto& event : events)
        EXPECT_EQ(event.elapsed, kes::analytics::legacy::kUnsetTime);
}

TEST_F(ServiceTest, TimesAreTruncatedMillisecondsFromConstruction) {
    fakeNow += 1999999;
    service.TrackEvent(L"first");
    EXPECT_EQ(service.Events()[0].eventTime, 1);
    fakeNow += 2 * kMs; // now 3.999999 ms after the start
    service.TrackTimedEventEnd(0);
    EXPECT_EQ(service.Events()[0].elapsed, 2); // 3 - 1: from the truncated start
}

TEST_F(ServiceTest, EndingSetsOrOverwritesTheDurationAndIgnoresBadIdentifiers) {
    service.TrackEvent(L"plain");
    const std::uint32_t timed = service.TrackTimedEventStart(L"timed");
    fakeNow += 10 * kMs;
    service.TrackTimedEventEnd(timed);
    EXPECT_EQ(service.Events()[1].elapsed, 10);
    fakeNow += 5 * kMs;
    service.TrackTimedEventEnd(timed);
    EXPECT_EQ(service.Events()[1].elapsed, 15);
    service.TrackTimedEventEnd(0); // a plain event can be ended too
    EXPECT_EQ(service.Events()[0].elapsed, 15);

    service.TrackTimedEventEnd(2);
    service.TrackTimedEventEnd(4294967295u);
    EXPECT_EQ(service.Events().size(), 2u);
}

TEST_F(ServiceTest, EventsGroupWritesEveryEventWithItsValuesAndTimes) {
    service.AddStandardGroup(0x10000000);
    EXPECT_EQ(Groups(service), L""); // no events: not even an empty element

    fakeNow += 1234 * kMs;
    service.TrackEvent(L"file.open");
    fakeNow += (5000 - 1234) * kMs;
    const std::uint32_t id = service.TrackTimedEventStart(L"mesh.generate");
    fakeNow += 2500 * kMs;
    service.TrackTimedEventEnd(id);
    service.AddStandardGroup(0x10000000);
    EXPECT_EQ(Groups(service), L"<events>\r\n"
                               L"  <event name=\"file.open\" eventtime=\"0d 0:00:01.234\" />\r\n"
                               L"  <event name=\"mesh.generate\" eventtime=\"0d 0:00:05.000\" "
                               L"elapsed=\"0d 0:00:02.500\" />\r\n"
                               L"</events>\r\n");
}

TEST_F(ServiceTest, EventsGroupValuesAndNesting) {
    service.TrackUnsignedValueEvent(L"zero", 0);
    service.TrackUnsignedValueEvent(L"all", 4294967295u);
    service.TrackUnsignedValueEvent(L"seven", 7);
    service.TrackStringValueEvent(L"", L"a&b");
    service.StartGroup(L"session");
    service.AddStandardGroup(0x10000000);
    service.EndGroup();
    EXPECT_EQ(Groups(service),
              L"<session>\r\n"
              L"  <events>\r\n"
              L"    <event name=\"zero\" eventtime=\"0d 0:00:00.000\" />\r\n"
              L"    <event name=\"all\" eventtime=\"0d 0:00:00.000\" />\r\n"
              L"    <event name=\"seven\" value=\"7\" eventtime=\"0d 0:00:00.000\" />\r\n"
              L"    <event name=\"\" value=\"a&amp;b\" eventtime=\"0d 0:00:00.000\" />\r\n"
              L"  </events>\r\n"
              L"</session>\r\n");
    EXPECT_EQ(service.Events().size(), 4u); // writing changes nothing
}

TEST_F(ServiceTest, EmptyReportFinishesAtOnceAndSavesWithSingleCrLf) {
    testing_support::ScratchFolder folder;
    const std::wstring path = folder.path() + L"report.vitascan";
    service.AddStandardGroup(0x10000000); // a command, never a block
    service.StartGroup(L"g");
    service.EndGroup();
    service.SaveTo(path);
    EXPECT_TRUE(service.ProcessStart().ok());
    EXPECT_EQ(service.GetNextStepDesc(), L"");
    const auto [status, done] = service.ProcessNext();
    EXPECT_TRUE(status.ok());
    EXPECT_TRUE(done);
    const std::string saved = testing_support::ReadBytes(path);
    EXPECT_NE(saved.find("'>\r\n<g />\r\n</vitascan>\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("\r\r"), std::string::npos);

    // Finishing does not change the engine: a second call saves again.
    testing_support::RemoveTree(path);
    EXPECT_TRUE(std::get<1>(service.ProcessNext()));
    EXPECT_EQ(testing_support::ReadBytes(path), saved);
}

TEST_F(ServiceTest, SaveFailuresAndTheWebServiceTarget) {
    testing_support::ScratchFolder folder;
    const std::wstring missing = folder.path() + L"missing\\r.vitascan";
    service.SaveTo(missing);
    auto [status, done] = service.ProcessNext();
    EXPECT_TRUE(done);
    EXPECT_EQ(status.message().rfind(L" Unable to save to " + missing + L": ", 0), 0u)
        << status.message();
    EXPECT_GT(status.message().size(), (L" Unable to save to " + missing + L": ").size());
    EXPECT_EQ(service.Process().message(), status.message());

    // Only the exact spelling sends; any other is a file name.
    ::SetEnvironmentVariableW(L"KES_TRACK_URL", nullptr);
    ::SetCurrentDirectoryW(folder.path().c_str());
    service.SaveTo(L"Web Service");
    EXPECT_TRUE(std::get<0>(service.ProcessNext()).ok());
    EXPECT_FALSE(testing_support::ReadBytes(folder.path() + L"Web Service").empty());
    service.SaveTo(L"web service");
    std::tie(status, done) = service.ProcessNext();
    EXPECT_TRUE(done);
    EXPECT_NE(status.message().find(L"KES_TRACK_URL"), std::wstring::npos);
    ::SetCurrentDirectoryW(L"C:\\");
}

} // namespace
