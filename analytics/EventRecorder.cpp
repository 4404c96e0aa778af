#include "analytics/EventRecorder.h"

#include <windows.h>

namespace kes::analytics::legacy {

std::int64_t EventRecorder::SteadyNanoseconds() {
    LARGE_INTEGER frequency{}, counter{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    // Whole seconds and the remainder apart, so that the product cannot overflow.
    const std::int64_t seconds = counter.QuadPart / frequency.QuadPart;
    const std::int64_t rest = counter.QuadPart % frequency.QuadPart;
    return seconds * 1000000000 + rest * 1000000000 / frequency.QuadPart;
}

std::uint32_t EventRecorder::Record(std::wstring name, EventRecord record) {
    record.name = std::move(name);
    record.eventTime = ElapsedMilliseconds();
    events.push_back(std::move(record));
    return static_cast<std::uint32_t>(events.size() - 1);
}

void EventRecorder::End(std::uint32_t id) {
    if (id == kNoValue || id >= events.size())
        return;
    events[id].elapsed = ElapsedMilliseconds() - events[id].eventTime;
}

} // namespace kes::analytics::legacy
