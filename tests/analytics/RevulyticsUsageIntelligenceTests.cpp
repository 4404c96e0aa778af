#include "analytics/AnalyticsService.h"
#include "analytics/EventNames.h"
#include "analytics/RevulyticsUsageIntelligence.h"
#include "platform/kes_version.h"
#include "platform/str_convert.h"
#include "platform/sys_file.h"

#include "tests/TestFiles.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace events = kes::analytics::legacy::events;

using kes::analytics::legacy::RevulyticsUsageIntelligence;
using Strings = std::vector<std::string>;

// Points the SDK's journal at a scratch file and clears the fault switches.
class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSwitches();
        ::SetEnvironmentVariableW(L"RUISDK_JOURNAL", journal.c_str());
    }
    void TearDown() override { ClearSwitches(); }
    static void ClearSwitches() {
        for (const wchar_t* name : {L"RUISDK_JOURNAL", L"RUISDK_FAIL_START", L"RUISDK_FAIL_STOP",
                                    L"KES_ANALYTICS_INTERNAL"})
            ::SetEnvironmentVariableW(name, nullptr);
    }
    // The journal's lines from the `first` on.
    Strings LinesFrom(size_t first) const {
        Strings lines;
        std::istringstream in(testing_support::ReadBytes(journal));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        lines.erase(lines.begin(), lines.begin() + std::min(first, lines.size()));
        return lines;
    }
    static std::string Configured(const char* productId, const char* server, const char* key) {
        std::wstring temp;
        sys::file::GetTempDirectory(temp);
        return "ruiCreateConfig\t" + str::as_cstring(temp) + "\t" + productId + "\tVitascanCmd\t" +
               server + "\t1\t" + key + "\tfalse\tfalse";
    }
    static std::string ProductData() {
        return "ruiSetProductData\t(null)\t1\t" +
               str::as_cstring(str::as_wstring(kes::version::Current().number)) + "\trelease";
    }
    testing_support::ScratchFolder folder;
    const std::wstring journal = folder.path() + L"journal.txt";
};

TEST_F(JournalTest, DefaultSetStartsTracksAndStopsInOrder) {
    {
        RevulyticsUsageIntelligence backend;
        EXPECT_TRUE(backend.IsStarted());
        backend.TrackEvent(events::kProcessKesdata);
        backend.TrackStringValueEvent(L"session", L"v\u00e9");
        backend.TrackUnsignedValueEvent(L"ignored.event", 3);
    }
    EXPECT_EQ(LinesFrom(0),
              (Strings{
                  "ruiCreateInstance\tfalse",
                  Configured("4027118301", "ui1.korvel-ab.se", "8F3A1C5E9B2D4F6A0C7E1B3D5F7A9C2E"),
                  ProductData(),
                  "ruiStartSDK",
                  "ruiTrackEvent\tanalytics\tprocess\t(null)",
                  "ruiTrackEventText\tsession\t\tv\xC3\xA9\t(null)",
                  "ruiStopSDK\t0",
                  "ruiDestroyInstance",
              }));
}

TEST_F(JournalTest, InternalSetIsUsedWhole) {
    ::SetEnvironmentVariableW(L"KES_ANALYTICS_INTERNAL", L"1");
    { RevulyticsUsageIntelligence backend; }
    const auto lines = LinesFrom(0);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1],
              Configured("4027118302", "ut1.korvel-ab.se", "1D6B8E3F5A7C9E2B4D6F8A1C3E5B7D9F"));
}

TEST_F(JournalTest, FailedStartSkipsTheStopButStillTracksAndDestroys) {
    ::SetEnvironmentVariableW(L"RUISDK_FAIL_START", L"1");
    {
        RevulyticsUsageIntelligence backend;
        EXPECT_FALSE(backend.IsStarted());
        backend.TrackEvent(events::kFileOpen);
    }
    EXPECT_EQ(LinesFrom(3),
              (Strings{"ruiStartSDK", "ruiTrackEvent\tfile\topen\t(null)", "ruiDestroyInstance"}));
}

TEST_F(JournalTest, FailedStopStillDestroys) {
    ::SetEnvironmentVariableW(L"RUISDK_FAIL_STOP", L"1");
    { RevulyticsUsageIntelligence backend; }
    EXPECT_EQ(LinesFrom(3), (Strings{"ruiStartSDK", "ruiStopSDK\t0", "ruiDestroyInstance"}));
}

TEST_F(JournalTest, ServiceForwardsOnlyPlainAndStringEventsAfterRecordingThem) {
    {
        kes::analytics::legacy::impl::AnalyticsService service(0);
        service.TrackEvent(events::kFileSave);
        service.TrackStringValueEvent(L"a.b.c.d", L"x");
        service.TrackUnsignedValueEvent(L"u.v", 1);
        service.TrackTimedEventEnd(service.TrackTimedEventStart(L"t.w"));
        EXPECT_EQ(service.Events().size(), 4u);
    }
    EXPECT_EQ(LinesFrom(4),
              (Strings{"ruiTrackEvent\tfile\tsave\t(null)", "ruiTrackEventText\ta\tb\tx\t(null)",
                       "ruiStopSDK\t0", "ruiDestroyInstance"}));
}

TEST(BuildKind, UnknownCodesReadAsRelease) {
    for (const auto& [code, text] : std::vector<std::pair<int, std::string>>{{0, "release"},
                                                                             {1, "debug"},
                                                                             {2, "beta"},
                                                                             {4, "private"},
                                                                             {3, "release"},
                                                                             {7, "release"},
                                                                             {-1, "release"}})
        EXPECT_EQ(kes::analytics::legacy::BuildKindText(code), text) << code;
}

} // namespace
