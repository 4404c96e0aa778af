#include "platform/kes_diag.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::diag;

TEST(DiagnosticLog, AppendsEachTextAsOneUtf8LineWithItsLevelWhileTheVariableIsSet) {
    testing_support::ScratchFolder folder;
    const std::wstring log = folder.path() + L"log.txt";
    folder.WriteFile(L"log.txt", "kept\n");
    ::SetEnvironmentVariableW(L"KES_LOG_FILE", log.c_str());
    LogMacroHandler(kInfo, kGeneral, {"app/x", 12, "f"}, L"caf\u00e9 \u4e2d");
    LogMacroHandler(kError, kRemoteCall, {nullptr, 0, "g"}, L"ends once\n");
    LogMacroHandler(kWarning, kReport, {"y", 7, "g"}, L"");
    LogMacroHandler(9, 8, {"z", 1, "h"}, L"odd");
    const int macroLine = __LINE__ + 1;
    KES_LOG(kInfo, kReport, L"here");
    ::SetEnvironmentVariableW(L"KES_LOG_FILE", nullptr);
    LogMacroHandler(kInfo, kGeneral, {"app/x", 13, "f"}, L"not logged");
    // The macro's location is the compiler's, relative to the top of the tree.
    EXPECT_EQ(testing_support::ReadBytes(log),
              "kept\nINFO app/x(12): caf\xC3\xA9 \xE4\xB8\xAD\nERROR [remote-call] (0): ends once\n"
              "WARNING [report] y(7): \nLEVEL 9 [category 8] z(1): odd\n"
              "INFO [report] tests/runtime/DiagTests.cpp(" +
                  std::to_string(macroLine) + "): here\n");
}

} // namespace
