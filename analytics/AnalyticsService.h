// The one object behind every remote call. It records usage events (EventRecorder), passes
// plain and string-valued ones on to the usage-intelligence backend, and hands the report
// calls to the report session (vitascan::ReportSession).
#pragma once

#include "analytics/EventRecorder.h"
#include "analytics/IAnalyticsService.h"
#include "vitascan/ReportSession.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kes::analytics::legacy::impl {

class AnalyticsService final : public IAnalyticsService {
public:
    // A nonzero `offline` creates no backend, so the vendor SDK is never called.
    explicit AnalyticsService(int offline,
                              EventRecorder::Clock clock = &EventRecorder::SteadyNanoseconds);
    ~AnalyticsService() override;
    AnalyticsService(const AnalyticsService&) = delete;
    AnalyticsService& operator=(const AnalyticsService&) = delete;

    gtl::status ProcessStart() override { return session.ProcessStart(); }
    std::wstring GetNextStepDesc() override { return session.GetNextStepDesc(); }
    std::tuple<gtl::status, bool> ProcessNext() override { return session.ProcessNext(); }
    int GetProgressPct() override { return session.GetProgressPct(); }
    gtl::status Process() override { return session.Process(); }
    void TrackEvent(std::wstring name) override;
    void TrackStringValueEvent(std::wstring name, const std::wstring& value) override;
    void TrackUnsignedValueEvent(std::wstring name, std::uint32_t value) override;
    std::uint32_t TrackTimedEventStart(std::wstring name) override;
    void TrackTimedEventEnd(const std::uint32_t& id) override { recorder.End(id); }
    void SetExcludePII(const bool& exclude) override { session.SetExcludePII(exclude); }
    void AddStandardGroup(const std::uint32_t& group) override;
    void SaveTo(const std::wstring& target) override { session.SaveTo(target); }
    void StartGroup(const std::wstring& name) override { session.StartGroup(name); }
    void SetDataPoint(const std::wstring& name, const std::wstring& value) override {
        session.SetDataPoint(name, value);
    }
    void EndGroup() override { session.EndGroup(); }

    const std::vector<EventRecord>& Events() const { return recorder.Events(); }
    vitascan::Report& GetReport() { return session.GetReport(); }

private:
    vitascan::ReportSession session;
    EventRecorder recorder;
    int offline;
    std::unique_ptr<IAnalyticsService> backend;
};

} // namespace kes::analytics::legacy::impl
