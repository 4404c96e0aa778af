// One million usage events: recording them, then writing the events group into the report.
// Prints the times and the process's peak memory.
//
//   EventsBench.exe [N]        (run under Wine)
#include "analytics/AnalyticsService.h"
#include "analytics/EventNames.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <windows.h>

#include <psapi.h>

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    namespace events = kes::analytics::legacy::events;
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    kes::analytics::legacy::impl::AnalyticsService service(1);

    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        switch (i % 4) {
        case 0:
            service.TrackEvent(events::kFileOpen);
            break;
        case 1:
            service.TrackStringValueEvent(events::kSessionInit, L"engineering");
            break;
        case 2:
            service.TrackUnsignedValueEvent(events::kProjectContents,
                                            static_cast<std::uint32_t>(i));
            break;
        default:
            service.TrackTimedEventEnd(service.TrackTimedEventStart(events::kMeshGenerate));
            break;
        }
    }
    const double record = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    service.AddStandardGroup(kes::analytics::legacy::kEventsGroup);
    const double group = SecondsSince(start);

    start = std::chrono::steady_clock::now();
    const std::wstring document = service.GetReport().GetDocument();
    const double assemble = SecondsSince(start);

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
    std::printf("events:                        %d\n", count);
    std::printf("recording:                     %.3f s (%.0f ns per event)\n", record,
                record * 1e9 / count);
    std::printf("AddStandardGroup(268435456):   %.3f s (%.0f ns per event)\n", group,
                group * 1e9 / count);
    std::printf("document:                      %.3f s, %zu characters\n", assemble,
                document.size());
    std::printf("peak working set:              %.1f MiB\n", memory.PeakWorkingSetSize / 1048576.0);
    std::printf("peak committed memory:         %.1f MiB\n", memory.PeakPagefileUsage / 1048576.0);
    return 0;
}
