// Message connections of the runtime support library: framed messages over a named pipe.
#pragma once

#include "platform/gtl_status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace sys::message {

namespace pipe {
struct ClientSettings {
    // The pipe is \\.\pipe\ followed by this name.
    std::wstring pipeName;
    // Bytes asked for by each read from the pipe.
    std::uint64_t readSize = 1024;
    // How long to wait, in seconds, for a pipe whose instances are all busy.
    std::int32_t waitSeconds = 1;
};
} // namespace pipe

// Every frame starts with the message length: 4 bytes, little-endian.
inline constexpr std::size_t kFrameHeaderSize = 4;
// The largest message either side accepts; a longer frame is a communication error.
inline constexpr std::uint32_t kMaxMessageSize = 64u * 1024 * 1024;

class IReader {
public:
    virtual ~IReader() = default;
    // Reads the next whole message. `ended` is set, with a success status, when the peer
    // closed the connection between messages; a connection lost inside a message, a frame
    // longer than kMaxMessageSize or a failed read is an error status.
    virtual gtl::status Read(std::string& message, bool& ended) = 0;
};

class IWriter {
public:
    virtual ~IWriter() = default;
    // Writes one whole message (its frame in one write).
    virtual gtl::status Write(const std::string& message) = 0;
};

class IReaderWriterConnection : public IReader, public IWriter {
public:
    // Connects; an error names the pipe path and the system's reason.
    virtual gtl::status Open() = 0;
};

// A client connection to a duplex byte-mode pipe that another process created.
std::shared_ptr<IReaderWriterConnection>
MakeNamedPipeClientDuplex(const pipe::ClientSettings& settings);

// The frame of one message: its header, then the message.
std::string Frame(const std::string& message);
// The header that starts a frame, and the length it holds.
std::string FrameHeader(std::uint32_t length);
std::uint32_t FrameLength(const char* header);

} // namespace sys::message
