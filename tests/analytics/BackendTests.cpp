#include "analytics/AnalyticsService.h"
#include "analytics/RevulyticsUsageIntelligence.h"
#include "platform/kes_analytics_events.h"
#include "platform/kes_version.h"
#include "platform/str_convert.h"
#include "platform/sys_file.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using kes::analytics::legacy::RevulyticsUsageIntelligence;

// Points the SDK's journal at a scratch file and clears the fault switches.
class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        journal = folder.path() + L"journal.txt";
        ::SetEnvironmentVariableW(L"RUISDK_JOURNAL", journal.c_str());
        for (const wchar_t* name :
             {L"RUISDK_FAIL_START", L"RUISDK_FAIL_STOP", L"KES_ANALYTICS_INTERNAL"})
            ::SetEnvironmentVariableW(name, nullptr);
    }
    void TearDown() override {
        for (const wchar_t* name : {L"RUISDK_JOURNAL", L"RUISDK_FAIL_START", L"RUISDK_FAIL_STOP",
                                    L"KES_ANALYTICS_INTERNAL"})
            ::SetEnvironmentVariableW(name, nullptr);
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(testing_support::ReadBytes(journal));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
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
    std::wstring journal;
};

TEST_F(JournalTest, DefaultSetStartsTracksAndStopsInOrder) {
    {
        RevulyticsUsageIntelligence backend;
        EXPECT_TRUE(backend.IsStarted());
        backend.TrackEvent(L"analytics.process.kesdata");
        backend.TrackStringValueEvent(L"session", L"v\u00e9");
        backend.TrackUnsignedValueEvent(L"ignored.event", 3);
    }
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{
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
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1],
              Configured("4027118302", "ut1.korvel-ab.se", "1D6B8E3F5A7C9E2B4D6F8A1C3E5B7D9F"));
}

TEST_F(JournalTest, FailedStartSkipsTheStopButStillTracksAndDestroys) {
    ::SetEnvironmentVariableW(L"RUISDK_FAIL_START", L"1");
    {
        RevulyticsUsageIntelligence backend;
        EXPECT_FALSE(backend.IsStarted());
        backend.TrackEvent(L"file.open");
    }
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "ruiStartSDK");
    EXPECT_EQ(lines[4], "ruiTrackEvent\tfile\topen\t(null)");
    EXPECT_EQ(lines[5], "ruiDestroyInstance");
}

TEST_F(JournalTest, FailedStopStillDestroys) {
    ::SetEnvironmentVariableW(L"RUISDK_FAIL_STOP", L"1");
    { RevulyticsUsageIntelligence backend; }
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], "ruiStopSDK\t0");
    EXPECT_EQ(lines[5], "ruiDestroyInstance");
}

TEST_F(JournalTest, ServiceForwardsOnlyPlainAndStringEventsAfterRecordingThem) {
    {
        kes::analytics::legacy::impl::AnalyticsService service(0);
        service.TrackEvent(L"file.save");
        service.TrackStringValueEvent(L"a.b.c.d", L"x");
        service.TrackUnsignedValueEvent(L"u.v", 1);
        service.TrackTimedEventEnd(service.TrackTimedEventStart(L"t.w"));
        EXPECT_EQ(service.Events().size(), 4u);
    }
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[4], "ruiTrackEvent\tfile\tsave\t(null)");
    EXPECT_EQ(lines[5], "ruiTrackEventText\ta\tb\tx\t(null)");
    EXPECT_EQ(lines[6], "ruiStopSDK\t0");
}

TEST_F(JournalTest, OfflineServiceNeverCallsTheSdk) {
    {
        kes::analytics::legacy::impl::AnalyticsService service(1);
        service.TrackEvent(L"file.open");
        service.AddStandardGroup(0x10000000);
    }
    EXPECT_FALSE(testing_support::ReadBytes(journal).size() > 0);
    EXPECT_EQ(::GetFileAttributesW(journal.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(BuildKind, UnknownCodesReadAsRelease) {
    using kes::analytics::legacy::BuildKindText;
    EXPECT_STREQ(BuildKindText(0), "release");
    EXPECT_STREQ(BuildKindText(1), "debug");
    EXPECT_STREQ(BuildKindText(2), "beta");
    EXPECT_STREQ(BuildKindText(4), "private");
    EXPECT_STREQ(BuildKindText(3), "release");
    EXPECT_STREQ(BuildKindText(7), "release");
    EXPECT_STREQ(BuildKindText(-1), "release");
}

TEST(EventNames, SplitAtTheFirstTwoDots) {
    std::wstring a, b, c;
    kes::analytics::legacy::UnpackEventType(L"analytics.process.kesdata", a, b, c);
    EXPECT_EQ(std::tie(a, b, c), std::make_tuple(L"analytics", L"process", L"kesdata"));
    kes::analytics::legacy::UnpackEventType(L"file.open", a, b, c);
    EXPECT_EQ(std::tie(a, b, c), std::make_tuple(L"file", L"open", L""));
    kes::analytics::legacy::UnpackEventType(L"session", a, b, c);
    EXPECT_EQ(std::tie(a, b, c), std::make_tuple(L"session", L"", L""));
    kes::analytics::legacy::UnpackEventType(L"a.b.c.d", a, b, c);
    EXPECT_EQ(std::tie(a, b, c), std::make_tuple(L"a", L"b", L"c.d"));
    kes::analytics::legacy::UnpackEventType(L".x", a, b, c);
    EXPECT_EQ(std::tie(a, b, c), std::make_tuple(L"", L"x", L""));
}

} // namespace
