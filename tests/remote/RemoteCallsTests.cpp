#include "remote/RemoteCalls.h"

#include "tests/GrammarText.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using testing_support::Decode;
using testing_support::Items;
using Strings = std::vector<std::string>;

// Records each operation with its arguments; `fail` makes the next operation throw.
class RecordingService : public kes::analytics::legacy::IAnalyticsService {
public:
    std::vector<std::wstring> log;
    std::function<void()> fail;

    void Note(std::wstring entry) {
        log.push_back(std::move(entry));
        if (auto f = std::exchange(fail, nullptr))
            f();
    }
    gtl::status ProcessStart() override { return Note(L"ProcessStart"), gtl::status::error(L"x"); }
    std::wstring GetNextStepDesc() override { return Note(L"GetNextStepDesc"), L"step; one"; }
    std::tuple<gtl::status, bool> ProcessNext() override {
        return Note(L"ProcessNext"), std::tuple(gtl::status(), true);
    }
    int GetProgressPct() override { return Note(L"GetProgressPct"), -5; }
    gtl::status Process() override { return Note(L"Process"), gtl::status(); }
    void TrackEvent(std::wstring n) override { Note(L"TrackEvent " + n); }
    void TrackStringValueEvent(std::wstring n, const std::wstring& v) override {
        Note(L"TrackStringValueEvent " + n + L"|" + v);
    }
    void TrackUnsignedValueEvent(std::wstring n, std::uint32_t v) override {
        Note(L"TrackUnsignedValueEvent " + n + L"|" + std::to_wstring(v));
    }
    std::uint32_t TrackTimedEventStart(std::wstring n) override {
        return Note(L"TrackTimedEventStart " + n), 41u;
    }
    void TrackTimedEventEnd(const std::uint32_t& id) override {
        Note(L"TrackTimedEventEnd " + std::to_wstring(id));
    }
    void SetExcludePII(const bool& b) override {
        Note(b ? L"SetExcludePII 1" : L"SetExcludePII 0");
    }
    void AddStandardGroup(const std::uint32_t& g) override {
        Note(L"AddStandardGroup " + std::to_wstring(g));
    }
    void SaveTo(const std::wstring& t) override { Note(L"SaveTo " + t); }
    void StartGroup(const std::wstring& n) override { Note(L"StartGroup " + n); }
    void SetDataPoint(const std::wstring& n, const std::wstring& v) override {
        Note(L"SetDataPoint " + n + L"|" + v);
    }
    void EndGroup() override { Note(L"EndGroup"); }
};

class RemoteCallTest : public ::testing::Test {
protected:
    // Calls `name` through the registry; returns the reply items.
    Strings Call(const std::string& name, const std::string& arguments) {
        std::string reply;
        registry.Find(name)->Call(arguments, [&](const std::string& text) {
            reply = text;
            return gtl::status();
        });
        return Items(reply);
    }
    RecordingService service;
    sys::server::RemoteCallRegistry registry = remote::MakeRemoteCallRegistry(service);
};

// Every call reaching its operation is shown end to end (a session of all sixteen calls).
TEST_F(RemoteCallTest, NamesCompareBytewise) {
    EXPECT_EQ(registry.Size(), 16u);
    EXPECT_EQ(registry.Find("trackevent"), nullptr);
    EXPECT_EQ(Call("TrackUnsignedValueEvent", "x&;y;4294967295"), (Strings{"", ""}));
    EXPECT_EQ(service.log.back(), L"TrackUnsignedValueEvent x;y|4294967295");
}

TEST_F(RemoteCallTest, HandlerErrorsBecomeTheCallStatusWithADefaultResult) {
    service.fail = [] { throw gtl::status_exception(gtl::status::error(L"refused", "x.cpp", 9)); };
    auto reply = Call("TrackTimedEventStart", "a");
    EXPECT_TRUE(Decode<gtl::status>(reply[0]) == gtl::status::error(L"refused", "x.cpp", 9));
    EXPECT_EQ(reply[1], "0");

    service.fail = [] { throw std::runtime_error("disk on fire"); };
    reply = Call("GetNextStepDesc", "");
    EXPECT_EQ(Decode<gtl::status>(reply[0]).message(),
              KesError::unexpected_exception(L"disk on fire").message());
    EXPECT_EQ(reply[1], "");
    // The next call of the same name starts clean.
    EXPECT_EQ(Call("GetNextStepDesc", ""), (Strings{"", "step; one"}));
}

TEST_F(RemoteCallTest, AFailedReplyIsThrownAtLine172) {
    try {
        registry.Find("EndGroup")->Call("", [](const std::string&) {
            return gtl::status::error(L"pipe gone");
        });
        FAIL() << "nothing thrown";
    } catch (const gtl::status_exception& e) {
        EXPECT_EQ(e.get_status().message(), L"pipe gone");
        EXPECT_EQ(e.get_status().file(), "Common/sys_server_RemoteCallServer");
        EXPECT_EQ(e.get_status().line(), 172u);
    }
    EXPECT_EQ(service.log, (std::vector<std::wstring>{L"EndGroup"}));
}

} // namespace
