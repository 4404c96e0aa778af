#include "tools/VitascanPeer.h"

#include "platform/kes_grammar.h"
#include "platform/str_convert.h"
#include "platform/sys_message.h"

#include <atomic>
#include <vector>

namespace peer {

const std::vector<CallShape> kCalls = {
    {"TrackEvent", {Kind::Text}, Kind::Void},
    {"TrackStringValueEvent", {Kind::Text, Kind::Text}, Kind::Void},
    {"TrackUnsignedValueEvent", {Kind::Text, Kind::Unsigned}, Kind::Void},
    {"TrackTimedEventStart", {Kind::Text}, Kind::Unsigned},
    {"TrackTimedEventEnd", {Kind::Unsigned}, Kind::Void},
    {"SetExcludePII", {Kind::Bool}, Kind::Void},
    {"AddStandardGroup", {Kind::Unsigned}, Kind::Void},
    {"StartGroup", {Kind::Text}, Kind::Void},
    {"SetDataPoint", {Kind::Text, Kind::Text}, Kind::Void},
    {"EndGroup", {}, Kind::Void},
    {"SaveTo", {Kind::Text}, Kind::Void},
    {"Process", {}, Kind::Status},
    {"ProcessStart", {}, Kind::Status},
    {"GetNextStepDesc", {}, Kind::Text},
    {"ProcessNext", {}, Kind::StatusBool},
    {"GetProgressPct", {}, Kind::Int},
};

const CallShape* FindCall(const std::string& name) {
    for (const CallShape& shape : kCalls)
        if (name == shape.name)
            return &shape;
    return nullptr;
}

namespace {

gtl::status SystemFailure(const std::wstring& what) {
    return gtl::status::error(what + L": " + KESErrText(::GetLastError()));
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

// An inheritable copy of a handle for the child's standard streams.
HANDLE Inheritable(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE,
                           DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

} // namespace

gtl::status DecodeRawReply(const std::string& reply, RawReply& out) {
    kes::grammar::Sequence items(';', '&');
    items.Decode(reply);
    if (items.value.size() != 2)
        return gtl::status::error(L"Malformed reply (expected 2 items): " +
                                  str::decode_utf8(reply));
    kes::grammar::GrammarOfType<gtl::status> status;
    status.Decode(items.value[0]);
    out.callStatus = status.value;
    out.result = items.value[1];
    return {};
}

PipeServerEnd::PipeServerEnd() : ioEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

gtl::status PipeServerEnd::Create(const std::wstring& name) {
    path_ = L"\\\\.\\pipe\\" + name;
    // The first instance of its name, or none: a pipe that another process made first must
    // not receive the server's connection.
    pipe_.reset(::CreateNamedPipeW(
        path_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr));
    if (!pipe_)
        return SystemFailure(L"Cannot create the pipe " + path_);
    // Listen before any client exists, so that its open cannot be missed.
    connect_ = OVERLAPPED{};
    connect_.hEvent = ioEvent_.get();
    ::ResetEvent(ioEvent_.get());
    connected_ = false;
    if (::ConnectNamedPipe(pipe_.get(), &connect_) || ::GetLastError() == ERROR_PIPE_CONNECTED)
        connected_ = true;
    else if (::GetLastError() != ERROR_IO_PENDING)
        return SystemFailure(L"Cannot wait for a client on " + path_);
    return {};
}

gtl::status PipeServerEnd::WaitForClient(HANDLE abandon, std::uint32_t milliseconds) {
    if (connected_)
        return {};
    const HANDLE waits[2] = {ioEvent_.get(), abandon};
    const DWORD which = ::WaitForMultipleObjects(abandon ? 2 : 1, waits, FALSE, milliseconds);
    if (which == WAIT_OBJECT_0) {
        DWORD ignored = 0;
        if (::GetOverlappedResult(pipe_.get(), &connect_, &ignored, FALSE) ||
            ::GetLastError() == ERROR_PIPE_CONNECTED) {
            connected_ = true;
            return {};
        }
        return SystemFailure(L"No client connected to " + path_);
    }
    ::CancelIo(pipe_.get());
    if (which == WAIT_OBJECT_0 + 1)
        return gtl::status::error(L"Gave up waiting for a client on " + path_);
    return gtl::status::error(L"No client connected to " + path_ + L" within " +
                              std::to_wstring(milliseconds) + L" ms");
}

gtl::status PipeServerEnd::Transfer(bool write, char* data, std::uint32_t size,
                                    std::uint32_t& done) {
    OVERLAPPED io{};
    io.hEvent = ioEvent_.get();
    ::ResetEvent(ioEvent_.get());
    DWORD count = 0;
    const BOOL ok = write ? ::WriteFile(pipe_.get(), data, size, &count, &io)
                          : ::ReadFile(pipe_.get(), data, size, &count, &io);
    if (!ok) {
        if (::GetLastError() != ERROR_IO_PENDING ||
            !::GetOverlappedResult(pipe_.get(), &io, &count, TRUE)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ||
                error == ERROR_NO_DATA)
                return gtl::status::error(L"The other end closed the pipe");
            ::SetLastError(error);
            return SystemFailure(write ? L"Writing to the pipe failed"
                                       : L"Reading from the pipe failed");
        }
    }
    done = count;
    return {};
}

gtl::status PipeServerEnd::SendBytes(const std::string& bytes) {
    if (!pipe_)
        return gtl::status::error(L"The pipe is not open");
    std::string copy = bytes;
    std::uint32_t sent = 0;
    while (sent < copy.size()) {
        std::uint32_t done = 0;
        if (gtl::status s = Transfer(true, copy.data() + sent,
                                     static_cast<std::uint32_t>(copy.size() - sent), done);
            s.failed())
            return s;
        sent += done;
    }
    return {};
}

gtl::status PipeServerEnd::SendMessage(const std::string& payload) {
    return SendBytes(sys::message::Frame(payload));
}

gtl::status PipeServerEnd::ReadMessage(std::string& payload) {
    if (!pipe_)
        return gtl::status::error(L"The pipe is not open");
    std::vector<char> chunk(65536);
    for (;;) {
        if (pending_.size() >= sys::message::kFrameHeaderSize) {
            const std::uint32_t length = sys::message::FrameLength(pending_.data());
            if (length > sys::message::kMaxMessageSize)
                return gtl::status::error(L"The other end sent a frame of " +
                                          std::to_wstring(length) + L" bytes");
            if (pending_.size() - sys::message::kFrameHeaderSize >= length) {
                payload.assign(pending_, sys::message::kFrameHeaderSize, length);
                pending_.erase(0, sys::message::kFrameHeaderSize + static_cast<size_t>(length));
                return {};
            }
        }
        std::uint32_t got = 0;
        if (gtl::status s =
                Transfer(false, chunk.data(), static_cast<std::uint32_t>(chunk.size()), got);
            s.failed())
            return s;
        if (got == 0)
            return gtl::status::error(L"The other end closed the pipe");
        pending_.append(chunk.data(), got);
    }
}

void PipeServerEnd::Close() {
    pipe_.reset();
    pending_.clear();
}

VitascanPeer::VitascanPeer(PeerOptions options) : options_(std::move(options)) {
    if (options_.exePath.empty())
        options_.exePath = OwnFolder() + L"VitascanCmd.exe";
    if (options_.pipeName.empty()) {
        static std::atomic<unsigned> counter{0};
        options_.pipeName = L"vitascan-peer-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++);
    }
}

VitascanPeer::~VitascanPeer() {
    ClosePipe();
    std::uint32_t code = 0;
    if (process_ && WaitForExit(30000, code).failed())
        ::TerminateProcess(process_.get(), 1);
}

gtl::status VitascanPeer::Start() {
    if (gtl::status created = pipe_.Create(options_.pipeName); created.failed())
        return created;

    std::wstring commandLine = L"\"" + options_.exePath + L"\" RunServer ";
    if (!options_.serverArguments.empty())
        commandLine += options_.serverArguments + L" ";
    commandLine += L"/pipename:" + options_.pipeName;
    if (options_.offline)
        commandLine += L" Offline";
    win::unique_file_handle nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    win::unique_object_handle childIn(Inheritable(nul.get()));
    win::unique_object_handle childOut(
        Inheritable(options_.quiet ? nul.get() : ::GetStdHandle(STD_OUTPUT_HANDLE)));
    win::unique_object_handle childErr(Inheritable(::GetStdHandle(STD_ERROR_HANDLE)));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn.get();
    startup.hStdOutput = childOut.get();
    startup.hStdError = childErr.get();
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(options_.exePath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                          nullptr, nullptr, &startup, &info)) {
        gtl::status failure = SystemFailure(L"Cannot start " + options_.exePath);
        pipe_.Close();
        return failure;
    }
    process_.reset(info.hProcess);
    const win::unique_object_handle thread(info.hThread);

    // The server connects, or ends (a bad command line, a failed start) without doing so.
    gtl::status connected = pipe_.WaitForClient(process_.get(), 60000);
    if (connected.failed()) {
        DWORD code = 0;
        if (::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0 &&
            ::GetExitCodeProcess(process_.get(), &code))
            return gtl::status::error(L"The server ended with exit code " + std::to_wstring(code) +
                                      L" before connecting to the pipe " + options_.pipeName);
        return connected;
    }
    return {};
}

gtl::status VitascanPeer::CallRaw(const std::string& name, const std::string& argumentText,
                                  std::string& reply) {
    kes::grammar::Sequence envelope(';', '&');
    envelope.value = {name, argumentText};
    std::string request;
    envelope.Encode(request);
    if (gtl::status s = SendMessage(request); s.failed())
        return s;
    return ReadMessage(reply);
}

void VitascanPeer::ClosePipe() {
    pipe_.Close();
}

gtl::status VitascanPeer::WaitForExit(std::uint32_t milliseconds, std::uint32_t& exitCode) {
    if (!process_)
        return gtl::status::error(L"The server was not started");
    if (::WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0)
        return gtl::status::error(L"The server is still running after " +
                                  std::to_wstring(milliseconds) + L" ms");
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    exitCode = code;
    return {};
}

} // namespace peer
