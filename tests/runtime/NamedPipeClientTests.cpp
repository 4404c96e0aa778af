#include "platform/sys_message.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

namespace {

using sys::message::Frame;

// A pipe this test serves itself, and a client connected to it.
class PipeClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring name =
            L"vitascan-client-test-" + std::to_wstring(::GetCurrentProcessId());
        server.reset(::CreateNamedPipeW((L"\\\\.\\pipe\\" + name).c_str(), PIPE_ACCESS_DUPLEX,
                                        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536,
                                        65536, 0, nullptr));
        ASSERT_TRUE(server);
        client = sys::message::MakeNamedPipeClientDuplex({name, 16, 1});
        ASSERT_TRUE(client->Open().ok());
        ::ConnectNamedPipe(server.get(), nullptr); // already connected: returns at once
    }
    // One write of the peer, however many frames it holds.
    void Send(const std::string& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(server.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                &written, nullptr));
    }
    std::string Read(bool end = false) {
        std::string message = "stale";
        bool ended = !end;
        EXPECT_TRUE(client->Read(message, ended).ok());
        EXPECT_EQ(ended, end);
        return message;
    }
    win::unique_file_handle server;
    std::shared_ptr<sys::message::IReaderWriterConnection> client;
};

TEST_F(PipeClientTest, FramesSplitAndJoinedAnyHowReadWhole) {
    // Reads are 16 bytes: the second frame spans reads, and one read holds the end of one
    // frame, a whole one and the start of the next.
    const std::string longer(40, 'L');
    Send(Frame("one") + Frame(longer).substr(0, 6));
    EXPECT_EQ(Read(), "one");
    Send(Frame(longer).substr(6) + Frame("") + Frame("three").substr(0, 2));
    EXPECT_EQ(Read(), longer);
    EXPECT_EQ(Read(), "");
    Send(Frame("three").substr(2));
    EXPECT_EQ(Read(), "three");
    Send(Frame("four"));
    EXPECT_EQ(Read(), "four");

    // The client's own frame arrives in one piece.
    ASSERT_TRUE(client->Write("reply").ok());
    char buffer[32];
    DWORD got = 0;
    ASSERT_TRUE(::ReadFile(server.get(), buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), std::string("\x05\0\0\0reply", 9));

    // Closing between messages ends the connection without an error.
    server.reset();
    Read(true);
}

} // namespace
