// The usage-intelligence backend: passes plain and string-valued events to the vendor SDK.
#pragma once

#include "analytics/IAnalyticsService.h"
#include "platform/ruiSDK.h"

namespace kes::analytics::legacy {

// One stored configuration of the usage-intelligence service.
struct UsageIntelligenceConfig {
    const char* productId; // 10 decimal digits
    const char* server;    // host name, 16 characters
    const char* key;       // 32 upper-case hexadecimal digits
};

extern const UsageIntelligenceConfig kDefaultConfig;
extern const UsageIntelligenceConfig kInternalConfig;

// The configuration in use: the internal one exactly when internal builds may report.
const UsageIntelligenceConfig& ChooseConfig();

// "release", "debug", "beta" or "private"; any other code reads as "release".
const char* BuildKindText(std::int32_t buildKind);

class RevulyticsUsageIntelligence final : public IAnalyticsService {
public:
    // Configures and starts the SDK.
    RevulyticsUsageIntelligence();
    // Stops the SDK when it started, then destroys its instance.
    ~RevulyticsUsageIntelligence() override;
    RevulyticsUsageIntelligence(const RevulyticsUsageIntelligence&) = delete;
    RevulyticsUsageIntelligence& operator=(const RevulyticsUsageIntelligence&) = delete;

    bool IsStarted() const { return started; }

    gtl::status ProcessStart() override { return {}; }
    std::wstring GetNextStepDesc() override { return {}; }
    std::tuple<gtl::status, bool> ProcessNext() override { return {gtl::status(), true}; }
    int GetProgressPct() override { return 100; }
    gtl::status Process() override { return {}; }
    void TrackEvent(std::wstring name) override;
    void TrackStringValueEvent(std::wstring name, const std::wstring& value) override;
    void TrackUnsignedValueEvent(std::wstring, std::uint32_t) override {}
    std::uint32_t TrackTimedEventStart(std::wstring) override { return 0; }
    void TrackTimedEventEnd(const std::uint32_t&) override {}
    void SetExcludePII(const bool&) override {}
    void AddStandardGroup(const std::uint32_t&) override {}
    void SaveTo(const std::wstring&) override {}
    void StartGroup(const std::wstring&) override {}
    void SetDataPoint(const std::wstring&, const std::wstring&) override {}
    void EndGroup() override {}

private:
    void Configure();
    void Start();
    void Stop();

    bool started = false;
    RUIINSTANCE instance = nullptr;
};

} // namespace kes::analytics::legacy
