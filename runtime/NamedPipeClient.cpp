#include "platform/sys_message.h"

#include "platform/str_convert.h"
#include "platform/unique_handle.h"

#include <algorithm>
#include <vector>

namespace sys::message {

namespace {

class NamedPipeClient final : public IReaderWriterConnection {
public:
    explicit NamedPipeClient(const pipe::ClientSettings& settings)
        : path_(L"\\\\.\\pipe\\" + settings.pipeName),
          readSize_(static_cast<size_t>(std::clamp<std::uint64_t>(settings.readSize, 1, 1 << 20))),
          waitMilliseconds_(
              settings.waitSeconds > 0 ? static_cast<DWORD>(settings.waitSeconds) * 1000 : 0) {}

    gtl::status Open() override {
        pipe_.reset(Connect());
        if (!pipe_ && ::GetLastError() == ERROR_PIPE_BUSY) {
            // Every instance is taken: wait once for one to come free, then try once more.
            if (::WaitNamedPipeW(path_.c_str(), waitMilliseconds_))
                pipe_.reset(Connect());
        }
        if (!pipe_)
            return gtl::status::error(L"Cannot open the pipe " + path_ + L": " +
                                      KESErrText(::GetLastError()));
        return {};
    }

    gtl::status Read(std::string& message, bool& ended) override {
        ended = false;
        std::vector<char> chunk(readSize_);
        for (;;) {
            if (pending_.size() - consumed_ >= kFrameHeaderSize) {
                const std::uint32_t length = FrameLength(pending_.data() + consumed_);
                if (length > kMaxMessageSize)
                    return Failure(L"a message of " + std::to_wstring(length) +
                                   L" bytes is over the limit of " +
                                   std::to_wstring(kMaxMessageSize));
                if (pending_.size() - consumed_ - kFrameHeaderSize >= length) {
                    message.assign(pending_, consumed_ + kFrameHeaderSize, length);
                    consumed_ += kFrameHeaderSize + static_cast<size_t>(length);
                    if (consumed_ == pending_.size()) {
                        pending_.clear();
                        consumed_ = 0;
                    }
                    return {};
                }
            }
            if (!pipe_)
                return Failure(L"the connection is not open");
            DWORD got = 0;
            if (!::ReadFile(pipe_.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                            nullptr)) {
                const DWORD error = ::GetLastError();
                if (error != ERROR_BROKEN_PIPE && error != ERROR_PIPE_NOT_CONNECTED &&
                    error != ERROR_NO_DATA)
                    return Failure(L"reading failed: " + KESErrText(error));
                got = 0;
            }
            if (got == 0) {
                if (pending_.size() == consumed_) {
                    ended = true;
                    return {};
                }
                return Failure(L"the peer closed the connection inside a message");
            }
            // Drop what earlier messages used before the buffer grows.
            if (consumed_ > 0) {
                pending_.erase(0, consumed_);
                consumed_ = 0;
            }
            pending_.append(chunk.data(), got);
        }
    }

    gtl::status Write(const std::string& message) override {
        if (message.size() > kMaxMessageSize)
            return Failure(L"a message of " + std::to_wstring(message.size()) +
                           L" bytes is over the limit");
        if (!pipe_)
            return Failure(L"the connection is not open");
        const std::string frame = Frame(message);
        size_t sent = 0;
        while (sent < frame.size()) {
            DWORD written = 0;
            if (!::WriteFile(pipe_.get(), frame.data() + sent,
                             static_cast<DWORD>(frame.size() - sent), &written, nullptr))
                return Failure(L"writing failed: " + KESErrText(::GetLastError()));
            sent += written;
        }
        return {};
    }

private:
    // The server of the pipe may learn who this process is, never act as it: a process that
    // created a pipe of this name first cannot borrow this process's rights.
    HANDLE Connect() const {
        return ::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    }

    gtl::status Failure(const std::wstring& what) const {
        return gtl::status::error(L"Pipe " + path_ + L": " + what);
    }

    std::wstring path_;
    size_t readSize_;
    DWORD waitMilliseconds_;
    win::unique_file_handle pipe_;
    // Bytes read but not yet returned start at consumed_.
    std::string pending_;
    size_t consumed_ = 0;
};

} // namespace

std::shared_ptr<IReaderWriterConnection>
MakeNamedPipeClientDuplex(const pipe::ClientSettings& settings) {
    return std::make_shared<NamedPipeClient>(settings);
}

std::string FrameHeader(std::uint32_t length) {
    std::string header(kFrameHeaderSize, '\0');
    for (size_t i = 0; i < kFrameHeaderSize; ++i)
        header[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return header;
}

std::uint32_t FrameLength(const char* header) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(header);
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::string Frame(const std::string& message) {
    std::string frame = FrameHeader(static_cast<std::uint32_t>(message.size()));
    frame += message;
    return frame;
}

} // namespace sys::message
