#include "tests/TestFiles.h"
#include "tools/VitascanPeer.h"

#include <gtest/gtest.h>

namespace {

// VitascanCmd.exe of this build, started with `arguments`.
class ServerProcess {
public:
    explicit ServerProcess(const std::wstring& arguments) {
        // Built next to the test programs.
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring exe = self;
        exe = exe.substr(0, exe.rfind(L'\\') + 1) + L"VitascanCmd.exe";
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info)) {
            process.reset(info.hProcess);
            ::CloseHandle(info.hThread);
        }
    }
    // The exit code, or -1 when it did not end within a minute.
    int ExitCode() {
        DWORD code = 0;
        if (!process || ::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0 ||
            !::GetExitCodeProcess(process.get(), &code))
            return -1;
        return static_cast<int>(code);
    }
    win::unique_object_handle process;
};

class ServerRunTest : public ::testing::Test {
protected:
    void SetUp() override { ::SetEnvironmentVariableW(L"RUISDK_JOURNAL", journal.c_str()); }
    void TearDown() override { ::SetEnvironmentVariableW(L"RUISDK_JOURNAL", nullptr); }
    testing_support::ScratchFolder folder;
    const std::wstring journal = folder.path() + L"journal.txt";
    const std::wstring pipe = L"vitascan-run-" + std::to_wstring(::GetCurrentProcessId());
};

// The last pipe name counts; a report target on the command line is no part of server mode.
TEST_F(ServerRunTest, ServesThroughTheLastPipeNameAndWritesNoReportFile) {
    peer::PipeServerEnd end;
    ASSERT_TRUE(end.Create(pipe).ok());
    const std::wstring report = folder.path() + L"never.vitascan";
    ServerProcess server(L"RunServer /pipename:" + pipe + L"-unused /out:" + report +
                         L" /pipename:" + pipe);
    ASSERT_TRUE(server.process);
    ASSERT_TRUE(end.WaitForClient(server.process.get(), 60000).ok());
    std::string reply;
    ASSERT_TRUE(end.SendMessage(
                       peer::EncodeArguments(std::string("TrackTimedEventStart"), std::string("a")))
                    .ok());
    ASSERT_TRUE(end.ReadMessage(reply).ok());
    EXPECT_EQ(reply, ";0");
    end.Close();
    EXPECT_EQ(server.ExitCode(), 0);
    EXPECT_EQ(::GetFileAttributesW(report.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(testing_support::ReadBytes(journal).rfind("ruiCreateInstance\t", 0), 0u);
}

TEST_F(ServerRunTest, NoServiceIsMadeWhenThePipeCannotBeOpened) {
    ServerProcess server(L"RunServer /pipename:" + pipe + L"-absent");
    EXPECT_EQ(server.ExitCode(), 1);
    EXPECT_EQ(::GetFileAttributesW(journal.c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
