// Times N round trips of a small remote call (TrackEvent) through a real VitascanCmd.exe
// against a bare echo over a pipe of the same kind, in the same run: the same server end,
// the same client connection class, the same framing; the echo only skips the process
// boundary and the dispatch.
//
//   RemoteCallBench.exe [N]        (run under Wine, next to VitascanCmd.exe)
#include "platform/sys_message.h"
#include "platform/sys_thread.h"
#include "tools/VitascanPeer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

[[noreturn]] void Die(const gtl::status& status) {
    std::fwprintf(stderr, L"%ls\n", gtl::status::detail::as_wstring(status).c_str());
    std::exit(2);
}

// Round trips of `request` through an in-process echo client.
double EchoSeconds(int count, const std::string& request) {
    peer::PipeServerEnd server;
    const std::wstring name = L"vitascan-echo-" + std::to_wstring(::GetCurrentProcessId());
    if (gtl::status s = server.Create(name); s.failed())
        Die(s);
    auto echo = sys::thread::Worker::Start([name] {
        sys::message::pipe::ClientSettings settings;
        settings.pipeName = name;
        auto client = sys::message::MakeNamedPipeClientDuplex(settings);
        if (client->Open().failed())
            return;
        std::string message;
        for (bool ended = false; client->Read(message, ended).ok() && !ended;)
            if (client->Write(message).failed())
                return;
    });
    if (gtl::status s = server.WaitForClient(nullptr, 10000); s.failed())
        Die(s);
    std::string reply;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        if (gtl::status s = server.SendMessage(request); s.failed())
            Die(s);
        if (gtl::status s = server.ReadMessage(reply); s.failed())
            Die(s);
    }
    const double seconds = Seconds(std::chrono::steady_clock::now() - start);
    server.Close();
    sys::thread::Worker::Join(echo, 10000);
    return seconds;
}

double RemoteCallSeconds(int count, std::string& request) {
    peer::PeerOptions options;
    options.offline = true; // the SDK stand-in is not what is measured
    peer::VitascanPeer server(options);
    if (gtl::status s = server.Start(); s.failed())
        Die(s);
    kes::grammar::Sequence envelope(';', '&');
    envelope.value = {"TrackEvent", peer::EncodeArguments(std::wstring(L"bench.roundtrip"))};
    envelope.Encode(request);
    std::string reply;
    // One call first, so that process start-up is not counted.
    if (gtl::status s = server.CallRaw("TrackEvent", "warm.up", reply); s.failed())
        Die(s);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        if (gtl::status s = server.SendMessage(request); s.failed())
            Die(s);
        if (gtl::status s = server.ReadMessage(reply); s.failed())
            Die(s);
    }
    return Seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    std::string request;
    const double call = RemoteCallSeconds(count, request);
    const double echo = EchoSeconds(count, request);
    std::printf("round trips:               %d (request %zu bytes)\n", count, request.size());
    std::printf("TrackEvent through server: %.3f s, %.1f us per call\n", call, call * 1e6 / count);
    std::printf("bare echo over the pipe:   %.3f s, %.1f us per round trip\n", echo,
                echo * 1e6 / count);
    std::printf("ratio (goal <= 1.5):       %.2f\n", call / echo);
    return 0;
}
