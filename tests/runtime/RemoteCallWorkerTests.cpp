// The remote-call worker's answers at the edges: bounded quotes of the client's text, a reply
// too large for a frame, and exceptions of every kind. The server fuzz test covers unknown
// names, malformed envelopes and the errors that carry a status.
#include "platform/kes_grammar.h"
#include "platform/sys_server.h"

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

namespace {

using sys::server::RemoteCallRegistry;

// Hands out the queued requests, then reports the end; keeps every reply.
class MemoryConnection : public sys::message::IReader, public sys::message::IWriter {
public:
    std::deque<std::string> requests;
    std::vector<std::string> replies;

    gtl::status Read(std::string& message, bool& ended) override {
        ended = requests.empty();
        if (!ended) {
            message = std::move(requests.front());
            requests.pop_front();
        }
        return {};
    }
    gtl::status Write(const std::string& message) override {
        if (message.size() > sys::message::kMaxMessageSize)
            return gtl::status::error(L"over the limit");
        replies.push_back(message);
        return {};
    }
};

struct Scripted : RemoteCallRegistry::IFunctor {
    std::function<std::string(const std::string&)> body;
    void Call(const std::string& arguments, const RemoteCallRegistry::ReplySink& sink) override {
        sink(body(arguments));
    }
};

using Pairs = std::vector<std::pair<std::wstring, std::string>>;

// The (status message, result) of each reply to the (name, arguments) requests, served by one
// worker.
Pairs Serve(const std::vector<std::pair<std::string, std::string>>& requests) {
    RemoteCallRegistry registry;
    const auto add = [&](const char* name, std::function<std::string(const std::string&)> body) {
        auto functor = std::make_shared<Scripted>();
        functor->body = std::move(body);
        registry.Register(name, functor);
    };
    add("Echo", [](const std::string& a) { return ";" + a; });
    add("Huge", [](auto&) { return std::string(sys::message::kMaxMessageSize + 1, 'x'); });
    add("Standard", [](auto&) -> std::string { throw std::runtime_error("boom"); });
    add("Odd", [](auto&) -> std::string { throw 7; });
    auto connection = std::make_shared<MemoryConnection>();
    for (const auto& [name, arguments] : requests) {
        kes::grammar::Sequence envelope(';', '&');
        envelope.value = {name, arguments};
        envelope.Encode(connection->requests.emplace_back());
    }
    auto worker = sys::server::MakeRemoteCallWorker(registry, connection, connection,
                                                    [](const gtl::status&) { return false; });
    EXPECT_TRUE(sys::thread::Worker::Join(worker, 60000).ok());
    Pairs out;
    for (const std::string& reply : connection->replies) {
        kes::grammar::Sequence items(';', '&');
        items.Decode(reply);
        kes::grammar::GrammarOfType<gtl::status> status;
        status.Decode(items.value.at(0));
        out.emplace_back(status.value.message(), items.value.at(1));
    }
    return out;
}

TEST(QuoteClientText, KeepsShortTextsAndCutsLongOnesAtAWholeCharacter) {
    const std::wstring limit(KesError::kQuotedTextLimit, L'a');
    EXPECT_EQ(KesError::quote_client_text(limit), limit);
    EXPECT_EQ(KesError::quote_client_text(limit + L"b"), limit + L"\u2026 (4097 characters)");
    // A surrogate pair across the cut stays whole: both halves go.
    const std::wstring pair = limit.substr(1) + L"\xD83D\xDE00" + L"c";
    EXPECT_EQ(KesError::quote_client_text(pair), limit.substr(1) + L"\u2026 (4098 characters)");
}

TEST(RemoteCallWorker, AnswersEveryRequestAndGoesOn) {
    const Pairs expected = {
        {L"the reply to Huge is 67108865 bytes, over the message limit of 67108864 bytes", ""},
        {L"Unexpected exception: boom", ""},
        {L"Unexpected exception: unknown exception", ""},
        {L"", "still here"}};
    EXPECT_EQ(Serve({{"Huge", ""}, {"Standard", ""}, {"Odd", ""}, {"Echo", "still here"}}),
              expected);
}

} // namespace
