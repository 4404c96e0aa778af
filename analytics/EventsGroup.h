// The recorded usage events and their group in the report.
#pragma once

#include "analytics/IAnalyticsService.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace kes::analytics::legacy {

// The smallest 64-bit value marks a time that is not set.
inline constexpr std::int64_t kUnsetTime = std::numeric_limits<std::int64_t>::min();
// The value of an event that has none (plain and timed events).
inline constexpr std::uint32_t kNoValue = 0xFFFFFFFFu;

struct EventRecord {
    std::wstring name;
    std::uint32_t value = kNoValue;
    std::wstring text;
    // Milliseconds from the service's start to the recording.
    std::int64_t eventTime = kUnsetTime;
    // Milliseconds from eventTime to the last end of a timed event.
    std::int64_t elapsed = kUnsetTime;
};

// "%dd %d:%02d:%02d.%03d" of days, hours, minutes, seconds and milliseconds, each division
// truncating toward zero.
std::wstring FormatDuration(std::int64_t ms);

// Writes every event, in recording order, as the "events" group through the sink's own
// group operations; nothing at all when there are no events.
void WriteEventsGroup(IAnalyticsService& sink, const std::vector<EventRecord>& events);

} // namespace kes::analytics::legacy
