// The usage events of one server session: kept in memory, in recording order, for the life
// of the session, each stamped with the time it was recorded at.
#pragma once

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
    // Milliseconds from the start of the recorder's clock to the recording.
    std::int64_t eventTime = kUnsetTime;
    // Milliseconds from eventTime to the last end of a timed event.
    std::int64_t elapsed = kUnsetTime;
};

class EventRecorder {
public:
    // Nanoseconds of a steady clock.
    using Clock = std::int64_t (*)();
    static std::int64_t SteadyNanoseconds();

    explicit EventRecorder(Clock clock) : clock(clock) {}

    // Event times count from now.
    void StartClock() { startTime = clock(); }
    // Stamps the record with its name and the time now and keeps it; returns its identifier,
    // the index among all events.
    std::uint32_t Record(std::wstring name, EventRecord record);
    // Sets or overwrites the duration of event `id`, from its recording to now; an id of no
    // event is ignored.
    void End(std::uint32_t id);

    const std::vector<EventRecord>& Events() const { return events; }

private:
    // Truncated toward zero.
    std::int64_t ElapsedMilliseconds() const { return (clock() - startTime) / 1000000; }

    std::vector<EventRecord> events;
    Clock clock;
    std::int64_t startTime = 0;
};

} // namespace kes::analytics::legacy
