// The one object behind every remote call: records usage events, passes some to the
// usage-intelligence backend, and fronts the report engine.
#pragma once

#include "analytics/EventsGroup.h"
#include "analytics/IAnalyticsService.h"
#include "vitascan/Report.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kes::analytics::legacy::impl {

class AnalyticsService final : public IAnalyticsService {
public:
    // Nanoseconds of a steady clock.
    using Clock = std::int64_t (*)();
    static std::int64_t SteadyNanoseconds();

    // A nonzero `offline` creates no backend, so the vendor SDK is never called.
    explicit AnalyticsService(int offline, Clock clock = &SteadyNanoseconds);
    ~AnalyticsService() override;
    AnalyticsService(const AnalyticsService&) = delete;
    AnalyticsService& operator=(const AnalyticsService&) = delete;

    gtl::status ProcessStart() override;
    std::wstring GetNextStepDesc() override;
    std::tuple<gtl::status, bool> ProcessNext() override;
    int GetProgressPct() override;
    gtl::status Process() override;
    void TrackEvent(std::wstring name) override;
    void TrackStringValueEvent(std::wstring name, const std::wstring& value) override;
    void TrackUnsignedValueEvent(std::wstring name, std::uint32_t value) override;
    std::uint32_t TrackTimedEventStart(std::wstring name) override;
    void TrackTimedEventEnd(const std::uint32_t& id) override;
    void SetExcludePII(const bool& exclude) override;
    void AddStandardGroup(const std::uint32_t& group) override;
    void SaveTo(const std::wstring& target) override;
    void StartGroup(const std::wstring& name) override;
    void SetDataPoint(const std::wstring& name, const std::wstring& value) override;
    void EndGroup() override;

    const std::vector<EventRecord>& Events() const { return events; }
    vitascan::Report& GetReport() { return report; }

private:
    std::int64_t ElapsedMilliseconds() const;
    std::uint32_t AddEvent(std::wstring name, EventRecord record);

    bool excludePii = false;
    std::uint32_t groupMask = 0;
    vitascan::Report report;
    std::wstring saveTarget;
    std::vector<EventRecord> events;
    Clock clock;
    std::int64_t startTime = 0;
    int offline;
    std::unique_ptr<IAnalyticsService> backend;
};

} // namespace kes::analytics::legacy::impl
