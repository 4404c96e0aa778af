// The suite's side of the pipe: creates the pipe, starts VitascanCmd.exe in server mode,
// sends remote calls and decodes their replies.
#pragma once

#include "platform/gtl_status.h"
#include "platform/unique_handle.h"
#include "remote/grammar_Tuple.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace peer {

// The types that travel as arguments and results.
enum class Kind { Void, Text, Unsigned, Int, Bool, Status, StatusBool };

struct CallShape {
    const char* name;
    std::vector<Kind> arguments;
    Kind result;
};

// The sixteen calls with their argument and result types.
extern const std::vector<CallShape> kCalls;
// Null for a name that is not a call.
const CallShape* FindCall(const std::string& name);

struct PeerOptions {
    // VitascanCmd.exe; empty: the one next to the running program.
    std::wstring exePath;
    // Empty: a name of its own made from the process id and a counter.
    std::wstring pipeName;
    bool offline = false;
    // Words put on the server's command line before its pipe name, to try how it reads one
    // (the last pipe name counts).
    std::wstring serverArguments;
    // Send the server's console output to NUL instead of this program's output.
    bool quiet = true;
};

// A reply: the call's own status and its result text.
struct RawReply {
    gtl::status callStatus;
    std::string result;
};

// Splits a reply text into the call status and the result text. A reply that is not two
// items is a protocol error.
gtl::status DecodeRawReply(const std::string& reply, RawReply& out);

// The server end of a duplex byte-mode pipe, with framed messages both ways.
class PipeServerEnd {
public:
    PipeServerEnd();
    PipeServerEnd(const PipeServerEnd&) = delete;
    PipeServerEnd& operator=(const PipeServerEnd&) = delete;

    // Creates \\.\pipe\NAME and starts listening for one client.
    gtl::status Create(const std::wstring& name);
    // Waits until the client connects; gives up when `abandon` (a process, say) is signalled
    // first or after `milliseconds`.
    gtl::status WaitForClient(HANDLE abandon, std::uint32_t milliseconds);

    gtl::status SendMessage(const std::string& payload);
    gtl::status ReadMessage(std::string& payload);
    gtl::status SendBytes(const std::string& bytes);
    // Closing (not disconnecting) lets the client still read what was sent last.
    void Close();
    bool IsOpen() const { return static_cast<bool>(pipe_); }

private:
    gtl::status Transfer(bool write, char* data, std::uint32_t size, std::uint32_t& done);

    std::wstring path_;
    win::unique_file_handle pipe_;
    win::unique_object_handle ioEvent_;
    OVERLAPPED connect_{};
    bool connected_ = false;
    std::string pending_;
};

class VitascanPeer {
public:
    explicit VitascanPeer(PeerOptions options = {});
    // Closes the pipe and waits for the server to end (killing it after 30 s).
    ~VitascanPeer();
    VitascanPeer(const VitascanPeer&) = delete;
    VitascanPeer& operator=(const VitascanPeer&) = delete;

    // Creates the pipe, starts the server and waits until it connects or exits.
    gtl::status Start();
    const std::wstring& PipeName() const { return options_.pipeName; }
    // The server process, for measuring it; null before Start.
    HANDLE Process() const { return process_.get(); }

    // One framed message each way.
    gtl::status SendMessage(const std::string& payload) { return pipe_.SendMessage(payload); }
    gtl::status ReadMessage(std::string& payload) { return pipe_.ReadMessage(payload); }
    // Bytes as they are, without a frame (for testing broken framing).
    gtl::status SendBytes(const std::string& bytes) { return pipe_.SendBytes(bytes); }

    // Sends the request (name, argument text) and reads its reply text.
    gtl::status CallRaw(const std::string& name, const std::string& argumentText,
                        std::string& reply);

    // A typed call: encodes the arguments, decodes the reply. `result` keeps its default
    // when the call failed. The returned status is a transport or protocol failure.
    template <typename R, typename... A>
    gtl::status Call(const std::string& name, gtl::status& callStatus, R& result,
                     const A&... arguments);
    template <typename... A>
    gtl::status Call(const std::string& name, gtl::status& callStatus, const A&... arguments);

    // Ends the connection; the server then shuts down.
    void ClosePipe();
    // Waits for the server's exit code; an error when it is still running after the wait.
    gtl::status WaitForExit(std::uint32_t milliseconds, std::uint32_t& exitCode);

private:
    PeerOptions options_;
    PipeServerEnd pipe_;
    win::unique_object_handle process_;
};

template <typename... A> std::string EncodeArguments(const A&... arguments) {
    kes::grammar::GrammarOfType<std::tuple<A...>> codec;
    codec.value = std::tuple<A...>(arguments...);
    std::string text;
    codec.Encode(text);
    return text;
}

template <typename R, typename... A>
gtl::status VitascanPeer::Call(const std::string& name, gtl::status& callStatus, R& result,
                               const A&... arguments) {
    std::string reply;
    gtl::status sent = CallRaw(name, EncodeArguments(arguments...), reply);
    if (sent.failed())
        return sent;
    RawReply raw;
    gtl::status decoded = DecodeRawReply(reply, raw);
    if (decoded.failed())
        return decoded;
    callStatus = raw.callStatus;
    result = R{};
    // A server that could not run the call sends an empty result whatever its type.
    if (callStatus.failed() && raw.result.empty())
        return {};
    try {
        kes::grammar::GrammarOfType<R> codec;
        codec.Decode(raw.result);
        result = std::move(codec.value);
    } catch (const gtl::status_exception& e) {
        return e.get_status();
    }
    return {};
}

template <typename... A>
gtl::status VitascanPeer::Call(const std::string& name, gtl::status& callStatus,
                               const A&... arguments) {
    std::string ignored;
    return Call<std::string>(name, callStatus, ignored, arguments...);
}

} // namespace peer
