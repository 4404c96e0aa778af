// The remote-call worker and the typed call behind each name, at the edges: bounded quotes of
// the client's text, a reply too large for a frame, exceptions of every kind (caught by the
// call's guard or by the worker), a reply that cannot be sent. The server fuzz test covers
// unknown names and malformed envelopes; the end-to-end session, every call of the table.
#include "remote/sys_server_RemoteCallServer.h"

#include "platform/unique_handle.h"
#include "tests/GrammarText.h"

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

namespace {

using sys::server::RemoteCallRegistry;
using Pairs = std::vector<std::pair<std::wstring, std::string>>;

// Hands out the queued requests, then reports the end; keeps every reply.
struct MemoryConnection : sys::message::IReader, sys::message::IWriter {
    std::deque<std::string> requests;
    std::vector<std::string> replies;

    gtl::status Read(std::string& message, bool& ended) override {
        ended = requests.empty();
        if (!ended) {
            message = requests.front();
            requests.pop_front();
        }
        return {};
    }
    gtl::status Write(const std::string& message) override {
        replies.push_back(message);
        return {};
    }
};

TEST(QuoteClientText, KeepsShortTextsAndCutsLongOnesAtAWholeCharacter) {
    const std::wstring limit(KesError::kQuotedTextLimit, L'a');
    EXPECT_EQ(KesError::quote_client_text(limit), limit);
    EXPECT_EQ(KesError::quote_client_text(limit + L"b"), limit + L"\u2026 (4097 characters)");
    // A surrogate pair across the cut stays whole: both halves go.
    const std::wstring pair = limit.substr(1) + L"\xD83D\xDE00" + L"c";
    EXPECT_EQ(KesError::quote_client_text(pair), limit.substr(1) + L"\u2026 (4098 characters)");
}

TEST(RemoteCallWorker, AnswersEveryRequestAndGoesOn) {
    RemoteCallRegistry registry;
    using Text = std::function<std::string(std::string)>;
    for (const auto& [name, body] : std::vector<std::pair<const char*, Text>>{
             {"Huge", [](auto&&) { return std::string(sys::message::kMaxMessageSize, 'x'); }},
             {"Refused",
              [](auto&&) -> std::string {
                  throw gtl::status_exception(gtl::status::error(L"refused", "x.cpp", 9));
              }},
             {"Standard", [](auto&&) -> std::string { throw std::runtime_error("boom"); }},
             {"Odd", [](auto&&) -> std::string { throw 7; }},
             {"Echo", [](const std::string& a) { return a; }}})
        registry.Register(name, std::make_shared<RemoteCallRegistry::ServerFunctor<Text>>(body));
    auto connection = std::make_shared<MemoryConnection>();
    connection->requests = {"Huge;", "Refused;", "Standard;", "Odd;", "Echo;still here"};
    auto worker = sys::server::MakeRemoteCallWorker(registry, connection, connection,
                                                    [](const gtl::status&) { return false; });
    ASSERT_TRUE(sys::thread::Worker::Join(worker, 60000).ok());
    Pairs answers;
    for (const std::string& reply : connection->replies) {
        const std::vector<std::string> items = testing_support::Items(reply);
        answers.emplace_back(testing_support::Decode<gtl::status>(items.at(0)).message(),
                             items.at(1));
    }
    // The reply to Huge is its empty status and the text: one byte over the limit. A failed
    // call answers the default result, and the next call starts clean.
    EXPECT_EQ(answers,
              (Pairs{{L"the reply to Huge is 67108865 bytes, over the message limit of 67108864 "
                      L"bytes",
                      ""},
                     {L"refused", ""},
                     {L"Unexpected exception: boom", ""},
                     {L"Unexpected exception: unknown exception", ""},
                     {L"", "still here"}}));
}

// A bounded wait that ends with the worker still running says so, with the wait in ms.
TEST(Worker, AJoinThatTimesOutSaysHowLongItWaited) {
    using sys::thread::Worker;
    const win::unique_object_handle go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const Worker::Handle worker = Worker::Start([&] { ::WaitForSingleObject(go.get(), INFINITE); });
    EXPECT_EQ(Worker::Join(worker, 10).message(), L"The worker is still running after 10 ms");
    ::SetEvent(go.get()); // the handle's end waits for the thread
}

TEST(RemoteCall, AFailedReplyIsThrownAtItsFixedLocationAfterTheCallRan) {
    int calls = 0;
    RemoteCallRegistry::ServerFunctor<std::function<void()>> call([&] { ++calls; });
    try {
        call.Call("", [](const std::string&) { return gtl::status::error(L"pipe gone"); });
        FAIL() << "nothing thrown";
    } catch (const gtl::status_exception& e) {
        EXPECT_EQ(e.get_status().message(), L"pipe gone");
        EXPECT_EQ(e.get_status().file(), "Common/sys_server_RemoteCallServer");
        EXPECT_EQ(e.get_status().line(), 172u);
    }
    EXPECT_EQ(calls, 1);
}

} // namespace
