#include "analytics/AnalyticsService.h"

#include "Common/CommandLineUtils.h"
#include "analytics/RevulyticsUsageIntelligence.h"
#include "platform/ws_track.h"
#include "vitascan/TextFile.h"

#include <windows.h>

namespace kes::analytics::legacy::impl {

std::int64_t AnalyticsService::SteadyNanoseconds() {
    LARGE_INTEGER frequency{}, counter{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    // Whole seconds and the remainder apart, so that the product cannot overflow.
    const std::int64_t seconds = counter.QuadPart / frequency.QuadPart;
    const std::int64_t rest = counter.QuadPart % frequency.QuadPart;
    return seconds * 1000000000 + rest * 1000000000 / frequency.QuadPart;
}

AnalyticsService::AnalyticsService(int offlineFlag, Clock clockSource)
    : clock(clockSource), offline(offlineFlag) {
    if (offline == 0)
        backend = std::make_unique<RevulyticsUsageIntelligence>();
    report.Reset();
    startTime = clock();
}

AnalyticsService::~AnalyticsService() {
    // The backend goes first: it stops the SDK while the rest of the service still stands.
    backend.reset();
}

std::int64_t AnalyticsService::ElapsedMilliseconds() const {
    return (clock() - startTime) / 1000000;
}

std::uint32_t AnalyticsService::AddEvent(std::wstring name, EventRecord record) {
    record.name = std::move(name);
    record.eventTime = ElapsedMilliseconds();
    events.push_back(std::move(record));
    return static_cast<std::uint32_t>(events.size() - 1);
}

void AnalyticsService::TrackEvent(std::wstring name) {
    AddEvent(name, EventRecord{});
    if (backend)
        backend->TrackEvent(std::move(name));
}

void AnalyticsService::TrackStringValueEvent(std::wstring name, const std::wstring& value) {
    EventRecord record;
    record.value = 0;
    record.text = value;
    AddEvent(name, std::move(record));
    if (backend)
        backend->TrackStringValueEvent(std::move(name), value);
}

void AnalyticsService::TrackUnsignedValueEvent(std::wstring name, std::uint32_t value) {
    EventRecord record;
    record.value = value;
    AddEvent(std::move(name), std::move(record));
}

std::uint32_t AnalyticsService::TrackTimedEventStart(std::wstring name) {
    return AddEvent(std::move(name), EventRecord{});
}

void AnalyticsService::TrackTimedEventEnd(const std::uint32_t& id) {
    if (id == kNoValue || id >= events.size())
        return;
    events[id].elapsed = ElapsedMilliseconds() - events[id].eventTime;
}

void AnalyticsService::SetExcludePII(const bool& exclude) {
    excludePii = exclude;
}

void AnalyticsService::AddStandardGroup(const std::uint32_t& group) {
    if (group == kEventsGroup)
        WriteEventsGroup(*this, events);
    else
        groupMask |= group;
}

void AnalyticsService::SaveTo(const std::wstring& target) {
    saveTarget = target;
}

void AnalyticsService::StartGroup(const std::wstring& name) {
    report.StartGroup(name);
}

void AnalyticsService::SetDataPoint(const std::wstring& name, const std::wstring& value) {
    report.SetDataPoint(name, value);
}

void AnalyticsService::EndGroup() {
    report.EndGroup();
}

gtl::status AnalyticsService::ProcessStart() {
    report.BuildSteps(groupMask, excludePii);
    return {};
}

std::wstring AnalyticsService::GetNextStepDesc() {
    return report.HasNextStep() ? report.GetNextStepDesc() : std::wstring();
}

int AnalyticsService::GetProgressPct() {
    return report.GetProgressPct();
}

std::tuple<gtl::status, bool> AnalyticsService::ProcessNext() {
    if (report.HasNextStep()) {
        cmd::WriteLine(report.GetNextStepDesc());
        report.ProcessNextStep();
        return {gtl::status(), false};
    }
    // Finishing leaves the engine as it is: a further call delivers the document again.
    std::wstring document = report.GetDocument();
    if (saveTarget == L"web service")
        return {ws::analytics::legacy::impl::Track(document), true};
    std::wstring reason;
    if (vitascan::SaveReportDocument(saveTarget, std::move(document), reason))
        return {gtl::status(), true};
    return {gtl::status::error(L" Unable to save to " + KesError::quote_client_text(saveTarget) +
                               L": " + reason),
            true};
}

gtl::status AnalyticsService::Process() {
    gtl::status started = ProcessStart();
    if (started.failed())
        return started;
    gtl::status failure;
    for (;;) {
        auto [status, done] = ProcessNext();
        if (status.failed())
            failure = std::move(status);
        if (done)
            return failure;
    }
}

} // namespace kes::analytics::legacy::impl
