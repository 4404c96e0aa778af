#include "analytics/AnalyticsService.h"
#include "analytics/EventNames.h"
#include "analytics/EventsGroup.h"

#include "platform/str_convert.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

namespace events = kes::analytics::legacy::events;

using kes::analytics::legacy::FormatDuration;
using kes::analytics::legacy::impl::AnalyticsService;

// A clock the tests move by hand, in nanoseconds.
std::int64_t fakeNow = 0;
std::int64_t FakeClock() {
    return fakeNow;
}
constexpr std::int64_t kMs = 1000000;
constexpr std::uint32_t kEventsGroup = 0x10000000;

class ServiceTest : public ::testing::Test {
protected:
    // The service's origin is whatever the clock reads at construction.
    std::int64_t origin = (fakeNow = 7 * kMs);
    AnalyticsService service{1, &FakeClock};
    testing_support::ScratchFolder folder;
};

TEST_F(ServiceTest, EndingSetsOrOverwritesTheTruncatedDurationAndIgnoresOtherIdentifiers) {
    fakeNow += 1999999;
    service.TrackEvent(L"plain");
    EXPECT_EQ(service.Events()[0].eventTime, 1); // truncated milliseconds from construction
    const std::uint32_t timed = service.TrackTimedEventStart(L"timed");
    fakeNow += 10 * kMs;
    service.TrackTimedEventEnd(timed);
    EXPECT_EQ(service.Events()[1].elapsed, 10);
    fakeNow += 5 * kMs;
    service.TrackTimedEventEnd(timed);
    EXPECT_EQ(service.Events()[1].elapsed, 15);
    service.TrackTimedEventEnd(0); // a plain event can be ended too
    EXPECT_EQ(service.Events()[0].elapsed, 15);

    // The id of no record changes nothing, however much time passes.
    for (std::uint32_t id : {2u, 0x7FFFFFFFu, 4294967295u}) {
        fakeNow += 100 * kMs;
        service.TrackTimedEventEnd(id);
    }
    ASSERT_EQ(service.Events().size(), 2u);
    EXPECT_EQ(service.Events()[0].elapsed, 15);
    EXPECT_EQ(service.Events()[1].elapsed, 15);
}

TEST_F(ServiceTest, EmptyReportFinishesAtOnceAndEveryFurtherCallSavesAgain) {
    const std::wstring path = folder.path() + L"report.vitascan";
    const std::wstring log = folder.path() + L"log.txt";
    service.StartGroup(L"g");
    service.EndGroup();
    service.SaveTo(path);
    EXPECT_TRUE(service.ProcessStart().ok());
    EXPECT_EQ(service.GetNextStepDesc(), L"");
    EXPECT_EQ(service.GetProgressPct(), 100);
    ::SetEnvironmentVariableW(L"KES_LOG_FILE", log.c_str());
    EXPECT_EQ(service.ProcessNext(), std::make_tuple(gtl::status(), true));
    const std::string saved = testing_support::ReadBytes(path);
    EXPECT_NE(saved.find("'>\r\n<g />\r\n</vitascan>\r\n"), std::string::npos);

    testing_support::RemoveTree(path);
    EXPECT_EQ(service.ProcessNext(), std::make_tuple(gtl::status(), true));
    ::SetEnvironmentVariableW(L"KES_LOG_FILE", nullptr);
    EXPECT_EQ(testing_support::ReadBytes(path), saved);
    const std::string line = "Saving to " + str::encode_utf8(path) + "\n";
    const std::string logged = testing_support::ReadBytes(log);
    EXPECT_EQ(logged.substr(logged.size() - line.size()), line);
    EXPECT_NE(logged.find(line), logged.rfind(line)); // once per call
}

TEST_F(ServiceTest, EachStepIsDescribedBeforeItRunsThenTheDocumentIsSaved) {
    const std::wstring path = folder.path() + L"disks.vitascan";
    service.AddStandardGroup(0x8); // the disk space block alone
    service.SaveTo(path);
    EXPECT_TRUE(service.ProcessStart().ok());
    EXPECT_EQ(std::make_tuple(service.GetNextStepDesc(), service.GetProgressPct()),
              std::make_tuple(std::wstring(L"Checking disk space"), 0));
    EXPECT_EQ(service.ProcessNext(), std::make_tuple(gtl::status(), false));
    EXPECT_EQ(std::make_tuple(service.GetNextStepDesc(), service.GetProgressPct()),
              std::make_tuple(std::wstring(), 100));
    EXPECT_EQ(service.ProcessNext(), std::make_tuple(gtl::status(), true));
    EXPECT_NE(testing_support::ReadBytes(path).find("'>\r\n<disks>\r\n"), std::string::npos);
}

// The web service itself is shown end to end; only its exact spelling sends.
TEST_F(ServiceTest, SaveFailuresAreTheStatusAndOnlyTheExactSpellingSends) {
    const std::wstring missing = folder.path() + L"missing\\r.vitascan";
    service.SaveTo(missing);
    const gtl::status failed = std::get<0>(service.ProcessNext());
    EXPECT_EQ(failed.message().rfind(L" Unable to save to " + missing + L": ", 0), 0u);
    EXPECT_GT(failed.message().size(), missing.size() + 21);
    EXPECT_EQ(service.Process().message(), failed.message());
    ::SetCurrentDirectoryW(folder.path().c_str());
    service.SaveTo(L"Web Service");
    EXPECT_TRUE(std::get<0>(service.ProcessNext()).ok());
    ::SetCurrentDirectoryW(L"C:\\");
    EXPECT_FALSE(testing_support::ReadBytes(folder.path() + L"Web Service").empty());
}

// The markup between the root start tag and the closing tag.
std::wstring Groups(AnalyticsService& service) {
    const std::wstring document = service.GetReport().GetDocument();
    const size_t start = document.find(L"'>\r\n") + 4;
    return document.substr(start, document.rfind(L"</vitascan>") - start);
}

// The service's own clock reads the performance counter in nanoseconds, whole seconds too.
TEST(EventRecorder, TheSteadyClockIsThePerformanceCounterInNanoseconds) {
    LARGE_INTEGER frequency{}, counter{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    const auto now =
        static_cast<double>(kes::analytics::legacy::EventRecorder::SteadyNanoseconds());
    EXPECT_NEAR(
        now, 1e9 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart),
        1e8);
}

TEST(FormatDuration, TruncatesEachUnit) {
    for (const auto& [ms, text] : std::vector<std::pair<std::int64_t, std::wstring>>{
             {0, L"0d 0:00:00.000"},
             {90061001, L"1d 1:01:01.001"},
             {59999, L"0d 0:00:59.999"},
             {86399999, L"0d 23:59:59.999"},
             {1000LL * 86400000, L"1000d 0:00:00.000"}})
        EXPECT_EQ(FormatDuration(ms), text) << ms;
}

TEST_F(ServiceTest, EventsGroupWritesEveryEventWithItsValuesAndTimesInsideTheOpenGroup) {
    service.AddStandardGroup(kEventsGroup);
    EXPECT_EQ(Groups(service), L""); // no events: not even an empty element

    fakeNow += 1234 * kMs;
    service.TrackEvent(events::kFileOpen);
    fakeNow += (5000 - 1234) * kMs;
    const std::uint32_t id = service.TrackTimedEventStart(events::kMeshGenerate);
    fakeNow += 2500 * kMs;
    service.TrackTimedEventEnd(id);
    service.TrackTimedEventStart(L"never.ended");
    service.TrackUnsignedValueEvent(L"zero", 0);
    service.TrackUnsignedValueEvent(L"seven", 7);
    service.TrackStringValueEvent(L"", L"a&b");
    service.StartGroup(L"session");
    service.AddStandardGroup(kEventsGroup);
    service.EndGroup();
    EXPECT_EQ(Groups(service),
              L"<session>\r\n"
              L"  <events>\r\n"
              L"    <event name=\"file.open\" eventtime=\"0d 0:00:01.234\" />\r\n"
              L"    <event name=\"mesh.generate\" eventtime=\"0d 0:00:05.000\" "
              L"elapsed=\"0d 0:00:02.500\" />\r\n"
              L"    <event name=\"never.ended\" eventtime=\"0d 0:00:07.500\" />\r\n"
              L"    <event name=\"zero\" eventtime=\"0d 0:00:07.500\" />\r\n"
              L"    <event name=\"seven\" value=\"7\" eventtime=\"0d 0:00:07.500\" />\r\n"
              L"    <event name=\"\" value=\"a&amp;b\" eventtime=\"0d 0:00:07.500\" />\r\n"
              L"  </events>\r\n"
              L"</session>\r\n");
}

} // namespace
