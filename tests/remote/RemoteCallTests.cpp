#include "Common/sys_server_RemoteCallServer.h"
#include "remote/RemoteCalls.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using kes::analytics::legacy::IAnalyticsService;
using sys::server::RemoteCallRegistry;

std::vector<std::string> Items(const std::string& text) {
    kes::grammar::Sequence sequence(';', '&');
    sequence.Decode(text);
    return sequence.value;
}

gtl::status StatusOf(const std::string& text) {
    kes::grammar::GrammarOfType<gtl::status> codec;
    codec.Decode(text);
    return codec.value;
}

// Records each operation with its arguments; `fail` makes the next operation throw.
class RecordingService : public IAnalyticsService {
public:
    std::vector<std::wstring> log;
    std::function<void()> fail;

    void Note(std::wstring entry) {
        log.push_back(std::move(entry));
        if (auto f = std::exchange(fail, nullptr))
            f();
    }
    gtl::status ProcessStart() override {
        return Note(L"ProcessStart"), gtl::status::error(L"started badly");
    }
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
        Note(std::wstring(L"SetExcludePII ") + (b ? L"1" : L"0"));
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
    // Calls `name` through the registry; returns the reply items (empty when none sent).
    std::vector<std::string> Call(const std::string& name, const std::string& arguments) {
        std::string reply;
        bool sent = false;
        registry.Find(name)->Call(arguments, [&](const std::string& text) {
            reply = text;
            sent = true;
            return gtl::status();
        });
        EXPECT_TRUE(sent);
        return Items(reply);
    }
    RecordingService service;
    RemoteCallRegistry registry = remote::MakeRemoteCallRegistry(service);
};

TEST_F(RemoteCallTest, EveryCallReachesItsOperationWithItsArguments) {
    EXPECT_EQ(registry.Size(), 16u);
    EXPECT_EQ(registry.Find("trackevent"), nullptr); // names compare bytewise
    Call("TrackEvent", "file.open");
    Call("TrackStringValueEvent", "a&;b;\xC3\xA9");
    Call("TrackUnsignedValueEvent", "x;4294967295");
    EXPECT_EQ(Call("TrackTimedEventStart", "mesh"), (std::vector<std::string>{"", "41"}));
    Call("TrackTimedEventEnd", "3");
    Call("SetExcludePII", "t");
    Call("AddStandardGroup", "268435456");
    Call("StartGroup", "g");
    Call("SetDataPoint", "k;v");
    Call("EndGroup", "ignored;text");
    Call("SaveTo", "web service");
    EXPECT_EQ(Call("Process", ""), (std::vector<std::string>{"", ""}));
    const auto started = Call("ProcessStart", "");
    EXPECT_EQ(StatusOf(started[1]).message(), L"started badly");
    EXPECT_EQ(Call("GetNextStepDesc", ""), (std::vector<std::string>{"", "step; one"}));
    EXPECT_EQ(Call("ProcessNext", ""), (std::vector<std::string>{"", ";t"}));
    EXPECT_EQ(Call("GetProgressPct", ""), (std::vector<std::string>{"", "-5"}));
    EXPECT_EQ(
        service.log,
        (std::vector<std::wstring>{
            L"TrackEvent file.open", L"TrackStringValueEvent a;b|\u00e9",
            L"TrackUnsignedValueEvent x|4294967295", L"TrackTimedEventStart mesh",
            L"TrackTimedEventEnd 3", L"SetExcludePII 1", L"AddStandardGroup 268435456",
            L"StartGroup g", L"SetDataPoint k|v", L"EndGroup", L"SaveTo web service", L"Process",
            L"ProcessStart", L"GetNextStepDesc", L"ProcessNext", L"GetProgressPct"}));
}

TEST_F(RemoteCallTest, HandlerErrorsBecomeTheCallStatusWithADefaultResult) {
    service.fail = [] { throw gtl::status_exception(gtl::status::error(L"refused", "x.cpp", 9)); };
    auto reply = Call("TrackTimedEventStart", "a");
    EXPECT_TRUE(StatusOf(reply[0]) == gtl::status::error(L"refused", "x.cpp", 9));
    EXPECT_EQ(reply[1], "0");

    service.fail = [] { throw std::runtime_error("disk on fire"); };
    reply = Call("GetNextStepDesc", "");
    EXPECT_EQ(StatusOf(reply[0]).message(),
              KesError::unexpected_exception(L"disk on fire").message());
    EXPECT_EQ(reply[1], "");

    // The next call of the same name starts clean.
    EXPECT_EQ(Call("TrackTimedEventStart", "b"), (std::vector<std::string>{"", "41"}));
    EXPECT_EQ(Call("GetNextStepDesc", ""), (std::vector<std::string>{"", "step; one"}));
}

TEST_F(RemoteCallTest, UndecodableArgumentsLeaveWithoutCallingOrReplying) {
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"SaveTo", "a;b"}, {"TrackStringValueEvent", "only"}, {"TrackTimedEventEnd", "x"}}) {
        bool sent = false;
        try {
            registry.Find(name)->Call(text, [&](const std::string&) {
                sent = true;
                return gtl::status();
            });
            ADD_FAILURE() << name << " decoded " << text;
        } catch (const gtl::status_exception&) {
        }
        EXPECT_FALSE(sent);
    }
    EXPECT_TRUE(service.log.empty());
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

TEST(Registry, RegisteringANameAgainReplacesItsHandler) {
    RemoteCallRegistry registry;
    int which = 0;
    using F = RemoteCallRegistry::ServerFunctor<std::function<void()>>;
    registry.Register("X", std::make_shared<F>([&] { which = 1; }));
    registry.Register("X", std::make_shared<F>([&] { which = 2; }));
    EXPECT_EQ(registry.Size(), 1u);
    registry.Find("X")->Call("", [](const std::string&) { return gtl::status(); });
    EXPECT_EQ(which, 2);
}

} // namespace
