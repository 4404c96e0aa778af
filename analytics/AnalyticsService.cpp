#include "analytics/AnalyticsService.h"

#include "analytics/EventsGroup.h"
#include "analytics/RevulyticsUsageIntelligence.h"

namespace kes::analytics::legacy::impl {

AnalyticsService::AnalyticsService(int offlineFlag, EventRecorder::Clock clock)
    : recorder(clock), offline(offlineFlag) {
    if (offline == 0)
        backend = std::make_unique<RevulyticsUsageIntelligence>();
    session.Reset();
    recorder.StartClock();
}

AnalyticsService::~AnalyticsService() {
    // The backend goes first: it stops the SDK while the rest of the service still stands.
    backend.reset();
}

void AnalyticsService::TrackEvent(std::wstring name) {
    recorder.Record(name, EventRecord{});
    if (backend)
        backend->TrackEvent(std::move(name));
}

void AnalyticsService::TrackStringValueEvent(std::wstring name, const std::wstring& value) {
    EventRecord record;
    record.value = 0;
    record.text = value;
    recorder.Record(name, std::move(record));
    if (backend)
        backend->TrackStringValueEvent(std::move(name), value);
}

void AnalyticsService::TrackUnsignedValueEvent(std::wstring name, std::uint32_t value) {
    EventRecord record;
    record.value = value;
    recorder.Record(std::move(name), std::move(record));
}

std::uint32_t AnalyticsService::TrackTimedEventStart(std::wstring name) {
    return recorder.Record(std::move(name), EventRecord{});
}

void AnalyticsService::AddStandardGroup(const std::uint32_t& group) {
    if (group == kEventsGroup)
        WriteEventsGroup(*this, recorder.Events());
    else
        session.AddBlocks(group);
}

} // namespace kes::analytics::legacy::impl
