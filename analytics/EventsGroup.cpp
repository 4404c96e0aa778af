#include "analytics/EventsGroup.h"

#include "platform/math_convert.h"
#include "platform/str_convert.h"

namespace kes::analytics::legacy {

std::wstring FormatDuration(std::int64_t ms) {
    const std::int64_t days = ms / 86400000;
    std::int64_t rest = ms - days * 86400000;
    const std::int64_t hours = rest / 3600000;
    rest -= hours * 3600000;
    const std::int64_t minutes = rest / 60000;
    rest -= minutes * 60000;
    const std::int64_t seconds = rest / 1000;
    const std::int64_t millis = rest - seconds * 1000;
    return str::snprintf(L"%dd %d:%02d:%02d.%03d", static_cast<int>(days), static_cast<int>(hours),
                         static_cast<int>(minutes), static_cast<int>(seconds),
                         static_cast<int>(millis));
}

void WriteEventsGroup(IAnalyticsService& sink, const std::vector<EventRecord>& events) {
    if (events.empty())
        return;
    sink.StartGroup(L"events");
    for (const EventRecord& event : events) {
        sink.StartGroup(L"event");
        sink.SetDataPoint(L"name", event.name);
        // 0 and the all-bits value both mean "no value".
        if (event.value != 0 && event.value != kNoValue)
            sink.SetDataPoint(L"value",
                              math::impl::ConvertInt<std::uint32_t>::to_wstring(event.value, 10));
        if (!event.text.empty())
            sink.SetDataPoint(L"value", event.text);
        if (event.eventTime != kUnsetTime)
            sink.SetDataPoint(L"eventtime", FormatDuration(event.eventTime));
        if (event.elapsed != kUnsetTime)
            sink.SetDataPoint(L"elapsed", FormatDuration(event.elapsed));
        sink.EndGroup();
    }
    sink.EndGroup();
}

} // namespace kes::analytics::legacy
