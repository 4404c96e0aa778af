#include "analytics/AnalyticsService.h"
#include "analytics/EventNames.h"
#include "analytics/EventsGroup.h"

#include <gtest/gtest.h>

namespace {

namespace events = kes::analytics::legacy::events;

using kes::analytics::legacy::FormatDuration;

std::int64_t fakeNow = 0;
std::int64_t FakeClock() {
    return fakeNow;
}
constexpr std::int64_t kMs = 1000000;
constexpr std::uint32_t kEventsGroup = 0x10000000;

// The markup between the root start tag and the closing tag.
std::wstring Groups(kes::analytics::legacy::impl::AnalyticsService& service) {
    const std::wstring document = service.GetReport().GetDocument();
    const size_t start = document.find(L"'>\r\n") + 4;
    return document.substr(start, document.rfind(L"</vitascan>") - start);
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

TEST(EventsGroup, WritesEveryEventWithItsValuesAndTimesInsideTheOpenGroup) {
    fakeNow = 0;
    kes::analytics::legacy::impl::AnalyticsService service(1, &FakeClock);
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
