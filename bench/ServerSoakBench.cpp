// Soak of one real server session through the peer library.
//
// Run 1 sends REQUESTS requests that record nothing (progress, next step, an unknown call, a
// malformed envelope, in turn) and prints the time per call and the server's private bytes
// after 10,000 requests and at the end: growth beyond 1% is a leak to find.
// Run 2 records EVENTS events over the pipe, saves the events group and checks that every
// event is in the saved document, in order.
//
//   ServerSoakBench.exe [REQUESTS [EVENTS]]     (1000000 and 200000; run under Wine)
#include "platform/str_convert.h"
#include "tools/VitascanPeer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include <psapi.h>

namespace {

constexpr std::uint32_t kEventsGroup = 0x10000000;
constexpr std::size_t kEarlySample = 10000;

[[noreturn]] void Die(const std::wstring& what) {
    std::fwprintf(stderr, L"%ls\n", what.c_str());
    std::exit(2);
}

void Check(const gtl::status& status) {
    if (status.failed())
        Die(gtl::status::detail::as_wstring(status));
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The commit charge, which is the process's private bytes. (PrivateUsage says the same on
// Windows, but Wine leaves it at 0.)
std::uint64_t PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(process, &counters, sizeof counters))
        Die(L"GetProcessMemoryInfo failed");
    return counters.PagefileUsage;
}

std::string Envelope(const std::string& name, const std::string& arguments) {
    kes::grammar::Sequence envelope(';', '&');
    envelope.value = {name, arguments};
    std::string text;
    envelope.Encode(text);
    return text;
}

// Returns false when the private bytes grew by more than 1%.
bool SoakWithoutRecording(std::size_t requests) {
    peer::PeerOptions options;
    options.offline = true;
    peer::VitascanPeer server(options);
    Check(server.Start());
    const std::string payloads[] = {Envelope("GetProgressPct", ""), Envelope("GetNextStepDesc", ""),
                                    Envelope("NoSuchCall", "x"), "only-one-item"};
    std::string reply;
    std::uint64_t early = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < requests; ++i) {
        Check(server.SendMessage(payloads[i % std::size(payloads)]));
        Check(server.ReadMessage(reply));
        if (i + 1 == kEarlySample)
            early = PrivateBytes(server.Process());
    }
    const double seconds = Seconds(start);
    const std::uint64_t late = PrivateBytes(server.Process());
    const double growth = early ? 100.0 * (static_cast<double>(late) - static_cast<double>(early)) /
                                      static_cast<double>(early)
                                : 0;
    std::printf("run 1: %zu requests that record nothing\n", requests);
    std::printf("  %.1f s, %.1f us per call\n", seconds,
                seconds * 1e6 / static_cast<double>(requests));
    std::printf("  server private bytes: %llu after %zu, %llu after %zu: %+.2f%%\n",
                static_cast<unsigned long long>(early), kEarlySample,
                static_cast<unsigned long long>(late), requests, growth);
    return growth <= 1.0;
}

// Returns false when an event is missing from the saved document.
bool RecordAndSave(std::size_t events) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"vitascan-soak-" +
                              std::to_wstring(::GetCurrentProcessId()) + L".vitascan";
    peer::PeerOptions options;
    options.offline = true;
    peer::VitascanPeer server(options);
    Check(server.Start());
    gtl::status callStatus;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < events; ++i) {
        Check(server.Call("TrackEvent", callStatus, L"soak." + std::to_wstring(i)));
        Check(callStatus);
    }
    const double recording = Seconds(start);
    const auto saveStart = std::chrono::steady_clock::now();
    Check(server.Call("AddStandardGroup", callStatus, std::uint32_t{kEventsGroup}));
    Check(server.Call("SaveTo", callStatus, std::wstring(path)));
    std::tuple<gtl::status, bool> finished;
    Check(server.Call("ProcessStart", callStatus));
    Check(server.Call("ProcessNext", callStatus, finished));
    Check(callStatus);
    Check(std::get<0>(finished));
    const double saving = Seconds(saveStart);

    std::string document;
    if (const win::unique_file_stream file(::_wfopen(path.c_str(), L"rb")); file) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
            document.append(buffer, n);
    }
    ::DeleteFileW(path.c_str());
    // Each event once, in the order recorded.
    std::size_t found = 0, at = 0;
    const std::string marker = "<event name=\"soak.";
    while ((at = document.find(marker, at)) != std::string::npos) {
        at += marker.size();
        const std::string expected = std::to_string(found) + "\"";
        if (document.compare(at, expected.size(), expected) != 0)
            break;
        ++found;
    }
    std::printf("run 2: %zu events recorded, then the events group saved\n", events);
    std::printf("  recording %.1f s, %.1f us per call; saving %.2f s, %zu bytes\n", recording,
                recording * 1e6 / static_cast<double>(events), saving, document.size());
    std::printf("  events in the saved document, in order: %zu of %zu\n", found, events);
    return found == events && document.find(marker, at) == std::string::npos;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t requests = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const std::size_t events = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200000;
    const bool steady = SoakWithoutRecording(requests);
    const bool complete = RecordAndSave(events);
    std::printf("%s\n", steady && complete ? "PASS" : "FAIL");
    return steady && complete ? 0 : 1;
}
