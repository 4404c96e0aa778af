#pragma once

#include "platform/gtl_status.h"

#include <cstdint>
#include <string>
#include <tuple>

namespace kes::analytics::legacy {

// The sixteen operations behind the suite's remote calls, each named after its call.
class IAnalyticsService {
public:
    virtual ~IAnalyticsService() = default;

    virtual gtl::status ProcessStart() = 0;
    virtual std::wstring GetNextStepDesc() = 0;
    virtual std::tuple<gtl::status, bool> ProcessNext() = 0;
    virtual int GetProgressPct() = 0;
    virtual gtl::status Process() = 0;
    virtual void TrackEvent(std::wstring name) = 0;
    virtual void TrackStringValueEvent(std::wstring name, const std::wstring& value) = 0;
    virtual void TrackUnsignedValueEvent(std::wstring name, std::uint32_t value) = 0;
    virtual std::uint32_t TrackTimedEventStart(std::wstring name) = 0;
    virtual void TrackTimedEventEnd(const std::uint32_t& id) = 0;
    virtual void SetExcludePII(const bool& exclude) = 0;
    virtual void AddStandardGroup(const std::uint32_t& group) = 0;
    virtual void SaveTo(const std::wstring& target) = 0;
    virtual void StartGroup(const std::wstring& name) = 0;
    virtual void SetDataPoint(const std::wstring& name, const std::wstring& value) = 0;
    virtual void EndGroup() = 0;
};

// The group number that writes the recorded events instead of selecting blocks.
inline constexpr std::uint32_t kEventsGroup = 0x10000000;

} // namespace kes::analytics::legacy
