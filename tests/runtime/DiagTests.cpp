#include "platform/kes_diag.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(DiagnosticLog, AppendsEachTextAsOneUtf8LineWhileTheVariableIsSet) {
    testing_support::ScratchFolder folder;
    const std::wstring log = folder.path() + L"log.txt";
    folder.WriteFile(L"log.txt", "kept\n");
    ::SetEnvironmentVariableW(L"KES_LOG_FILE", log.c_str());
    kes::diag::LogMacroHandler(1, 1, {"app/x", 12, "f"}, L"caf\u00e9 \u4e2d");
    kes::diag::LogMacroHandler(3, 1, {nullptr, 0, "g"}, L"ends once\n");
    kes::diag::LogMacroHandler(3, 1, {"y", 7, "g"}, L"");
    ::SetEnvironmentVariableW(L"KES_LOG_FILE", nullptr);
    kes::diag::LogMacroHandler(1, 1, {"app/x", 13, "f"}, L"not logged");
    EXPECT_EQ(testing_support::ReadBytes(log),
              "kept\napp/x(12): caf\xC3\xA9 \xE4\xB8\xAD\n(0): ends once\ny(7): \n");
}

} // namespace
