// The remote-call worker's answers at the edges: bounded quotes of the client's text, a reply
// too large for a frame, and exceptions of every kind.
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

class Scripted : public RemoteCallRegistry::IFunctor {
public:
    explicit Scripted(std::function<std::string(const std::string&)> body)
        : body_(std::move(body)) {}
    void Call(const std::string& arguments, const RemoteCallRegistry::ReplySink& sink) override {
        sink(body_(arguments));
    }

private:
    std::function<std::string(const std::string&)> body_;
};

std::string Envelope(const std::string& name, const std::string& arguments) {
    kes::grammar::Sequence envelope(';', '&');
    envelope.value = {name, arguments};
    std::string text;
    envelope.Encode(text);
    return text;
}

// The (status message, result) of each reply to the requests, served by one worker.
std::vector<std::pair<std::wstring, std::string>> Serve(const std::vector<std::string>& requests) {
    RemoteCallRegistry registry;
    registry.Register("Echo",
                      std::make_shared<Scripted>([](const std::string& a) { return ";" + a; }));
    registry.Register("Huge", std::make_shared<Scripted>([](const std::string&) {
                          return std::string(sys::message::kMaxMessageSize + 1, 'x');
                      }));
    registry.Register("Standard", std::make_shared<Scripted>([](const std::string&) -> std::string {
                          throw std::runtime_error("boom");
                      }));
    registry.Register(
        "Odd", std::make_shared<Scripted>([](const std::string&) -> std::string { throw 7; }));
    auto connection = std::make_shared<MemoryConnection>();
    connection->requests.assign(requests.begin(), requests.end());
    auto worker = sys::server::MakeRemoteCallWorker(registry, connection, connection,
                                                    [](const gtl::status&) { return false; });
    EXPECT_TRUE(sys::thread::Worker::Join(worker, 60000).ok());
    std::vector<std::pair<std::wstring, std::string>> out;
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
    EXPECT_EQ(KesError::quote_client_text(L""), L"");
    EXPECT_EQ(KesError::quote_client_text(limit), limit);
    EXPECT_EQ(KesError::quote_client_text(limit + L"b"), limit + L"\u2026 (4097 characters)");
    // A surrogate pair across the cut stays whole: both halves go.
    const std::wstring pair = limit.substr(1) + L"\xD83D\xDE00" + L"c";
    EXPECT_EQ(KesError::quote_client_text(pair), limit.substr(1) + L"\u2026 (4098 characters)");
    EXPECT_EQ(KesError::syntax(limit + L"b").message(),
              L"Syntax error in \"" + limit + L"\u2026 (4097 characters)\"");
}

TEST(RemoteCallWorker, AnswersEveryRequestAndGoesOn) {
    const std::wstring longName(5000, L'n');
    const auto replies = Serve({
        Envelope(std::string(5000, 'n'), ""),
        Envelope("Huge", ""),
        Envelope("Standard", ""),
        Envelope("Odd", ""),
        Envelope("Echo", "still here"),
    });
    ASSERT_EQ(replies.size(), 5u);
    EXPECT_EQ(replies[0].first,
              L"unknown remote call \"" + longName.substr(0, 4096) + L"\u2026 (5000 characters)\"");
    EXPECT_EQ(replies[1].first,
              L"the reply to Huge is 67108865 bytes, over the message limit of 67108864 bytes");
    EXPECT_EQ(replies[2].first, L"Unexpected exception: boom");
    EXPECT_EQ(replies[3].first, L"Unexpected exception: unknown exception");
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(replies[i].second, "") << i;
    EXPECT_EQ(replies[4], std::make_pair(std::wstring(), std::string("still here")));
}

TEST(FromCurrentException, GivesTheCarriedStatusOrAnUnexpectedException) {
    const auto caught = [](const std::function<void()>& thrower) {
        try {
            thrower();
        } catch (...) {
            return KesError::from_current_exception();
        }
        return gtl::status();
    };
    const gtl::status carried = gtl::status::error(L"carried", "here", 3);
    EXPECT_EQ(caught([&] { throw gtl::status_exception(carried); }), carried);
    EXPECT_EQ(caught([] { throw std::logic_error("bad"); }),
              KesError::unexpected_exception(L"bad"));
    EXPECT_EQ(caught([] { throw 1.5; }).message(), L"Unexpected exception: unknown exception");
}

} // namespace
