#include "analytics/EventNames.h"
#include "analytics/RevulyticsUsageIntelligence.h"
#include "platform/kes_version.h"
#include "platform/str_convert.h"
#include "platform/sys_file.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace events = kes::analytics::legacy::events;

using kes::analytics::legacy::RevulyticsUsageIntelligence;
using Strings = std::vector<std::string>;

// Points the SDK's journal at a scratch file.
class JournalTest : public ::testing::Test {
protected:
    void SetUp() override { ::SetEnvironmentVariableW(L"RUISDK_JOURNAL", journal.c_str()); }
    void TearDown() override { ::SetEnvironmentVariableW(L"RUISDK_JOURNAL", nullptr); }
    // The journal's lines, read and removed.
    Strings TakeLines() const {
        Strings lines;
        std::istringstream in(testing_support::ReadBytes(journal));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        testing_support::RemoveTree(journal);
        return lines;
    }
    static std::string Configured(const char* productId, const char* server, const char* key) {
        std::wstring temp;
        sys::file::GetTempDirectory(temp);
        return "ruiCreateConfig\t" + str::as_cstring(temp) + "\t" + productId + "\tVitascanCmd\t" +
               server + "\t1\t" + key + "\tfalse\tfalse";
    }
    testing_support::ScratchFolder folder;
    const std::wstring journal = folder.path() + L"journal.txt";
};

// The internal switch picks the other set whole; a failed start skips only the stop, and a
// failed stop still destroys. Unsigned values and timed events are not handed to the SDK,
// and the report calls answer as a report with no steps, finished, without reaching it.
TEST_F(JournalTest, ConfiguresStartsTracksAndStopsInOrder) {
    const std::string main =
        Configured("4027118301", "ui1.korvel-ab.se", "8F3A1C5E9B2D4F6A0C7E1B3D5F7A9C2E");
    for (const auto& [name, configured, started] :
         std::vector<std::tuple<const wchar_t*, std::string, bool>>{
             {L"VITASCAN_NO_SWITCH", main, true}, // a variable nothing reads
             {L"KES_ANALYTICS_INTERNAL",
              Configured("4027118302", "ut1.korvel-ab.se", "1D6B8E3F5A7C9E2B4D6F8A1C3E5B7D9F"),
              true},
             {L"RUISDK_FAIL_START", main, false},
             {L"RUISDK_FAIL_STOP", main, true}}) {
        ::SetEnvironmentVariableW(name, L"1");
        {
            RevulyticsUsageIntelligence backend;
            EXPECT_EQ(backend.IsStarted(), started) << name;
            backend.TrackEvent(events::kProcessKesdata);
            backend.TrackStringValueEvent(L"session", L"v\u00e9");
            backend.TrackUnsignedValueEvent(L"ignored.event", 3);
            EXPECT_EQ(backend.TrackTimedEventStart(L"ignored.timed"), 0u);
            backend.TrackTimedEventEnd(0);
            backend.SaveTo(L"ignored.vitascan");
            EXPECT_TRUE(backend.ProcessStart().ok());
            EXPECT_EQ(backend.GetNextStepDesc(), L"");
            EXPECT_EQ(backend.ProcessNext(), std::make_tuple(gtl::status(), true));
            EXPECT_EQ(backend.GetProgressPct(), 100);
            EXPECT_TRUE(backend.Process().ok());
        }
        ::SetEnvironmentVariableW(name, nullptr);
        Strings expected{"ruiCreateInstance\tfalse",
                         configured,
                         "ruiSetProductData\t(null)\t1\t" +
                             str::as_cstring(str::as_wstring(kes::version::Current().number)) +
                             "\trelease",
                         "ruiStartSDK",
                         "ruiTrackEvent\tanalytics\tprocess\t(null)",
                         "ruiTrackEventText\tsession\t\tv\xC3\xA9\t(null)"};
        if (started)
            expected.push_back("ruiStopSDK\t0");
        expected.push_back("ruiDestroyInstance");
        EXPECT_EQ(TakeLines(), expected) << name;
    }
}

TEST(BuildKind, UnknownCodesReadAsRelease) {
    const char* byCode[] = {"release", "release", "debug", "beta", "release", "private", "release"};
    for (int code = -1; code < 6; ++code)
        EXPECT_STREQ(kes::analytics::legacy::BuildKindText(code), byCode[code + 1]) << code;
}

} // namespace
