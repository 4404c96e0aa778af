#include "analytics/RevulyticsUsageIntelligence.h"

#include "platform/App.h"
#include "platform/kes_analytics_events.h"
#include "platform/kes_feature.h"
#include "platform/kes_version.h"
#include "platform/math_convert.h"
#include "platform/str_convert.h"
#include "platform/sys_file.h"

namespace kes::analytics::legacy {

const UsageIntelligenceConfig kDefaultConfig = {"4027118301", "ui1.korvel-ab.se",
                                                "8F3A1C5E9B2D4F6A0C7E1B3D5F7A9C2E"};
const UsageIntelligenceConfig kInternalConfig = {"4027118302", "ut1.korvel-ab.se",
                                                 "1D6B8E3F5A7C9E2B4D6F8A1C3E5B7D9F"};

const UsageIntelligenceConfig& ChooseConfig() {
    return kes::feature::IsAnalyticsAllowedForInternalBuilds() ? kInternalConfig : kDefaultConfig;
}

const char* BuildKindText(std::int32_t buildKind) {
    switch (buildKind) {
    case 1:
        return "debug";
    case 2:
        return "beta";
    case 4:
        return "private";
    default:
        return "release";
    }
}

RevulyticsUsageIntelligence::RevulyticsUsageIntelligence() {
    Configure();
    Start();
}

RevulyticsUsageIntelligence::~RevulyticsUsageIntelligence() {
    Stop();
    ruiDestroyInstance(instance);
    instance = nullptr;
}

void RevulyticsUsageIntelligence::Configure() {
    // The SDK's results are not inspected: analytics never fail towards the suite.
    instance = ruiCreateInstance(false);

    std::wstring tempDirectory;
    sys::file::GetTempDirectory(tempDirectory); // whatever it leaves is passed on
    const UsageIntelligenceConfig& config = ChooseConfig();
    const std::string applicationText = str::as_cstring(App::Instance().GetName());
    ruiCreateConfig(instance, str::as_cstring(tempDirectory).c_str(), config.productId,
                    applicationText.c_str(), config.server, 1, config.key, false, false);

    const std::string applicationNumber = math::impl::ConvertInt<std::uint16_t>::to_string(
        App::Instance().GetApplicationNumber(), 10);
    const kes::version::Record version = kes::version::Current();
    const std::string versionText = str::as_cstring(str::as_wstring(version.number));
    ruiSetProductData(instance, nullptr,
                      applicationNumber.empty() ? nullptr : applicationNumber.c_str(),
                      versionText.c_str(), BuildKindText(version.buildKind));
}

void RevulyticsUsageIntelligence::Start() {
    if (!started)
        started = ruiStartSDK(instance) == 0;
}

void RevulyticsUsageIntelligence::Stop() {
    if (started && ruiStopSDK(instance, 0) == 0)
        started = false;
}

void RevulyticsUsageIntelligence::TrackEvent(std::wstring name) {
    std::wstring first, second, third;
    UnpackEventType(name, first, second, third);
    ruiTrackEvent(instance, str::as_cstring(first).c_str(), str::as_cstring(second).c_str(),
                  nullptr);
}

void RevulyticsUsageIntelligence::TrackStringValueEvent(std::wstring name,
                                                        const std::wstring& value) {
    std::wstring first, second, third;
    UnpackEventType(name, first, second, third);
    ruiTrackEventText(instance, str::as_cstring(first).c_str(), str::as_cstring(second).c_str(),
                      str::as_cstring(value).c_str(), nullptr);
}

} // namespace kes::analytics::legacy
