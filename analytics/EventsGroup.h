// The recorded usage events as a group of the report.
#pragma once

#include "analytics/EventRecorder.h"
#include "analytics/IAnalyticsService.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kes::analytics::legacy {

// "%dd %d:%02d:%02d.%03d" of days, hours, minutes, seconds and milliseconds, each division
// truncating toward zero.
std::wstring FormatDuration(std::int64_t ms);

// Writes every event, in recording order, as the "events" group through the sink's own
// group operations; nothing at all when there are no events.
void WriteEventsGroup(IAnalyticsService& sink, const std::vector<EventRecord>& events);

} // namespace kes::analytics::legacy
