// A seeded, bounded, randomized test of server mode, in the manner of a decoder fuzzer: a
// generator draws requests from the call table (hostile texts, wrong item counts, bad
// numbers, unknown names, malformed envelopes, any call order, and two requests whose
// plain replies would not fit in a frame), and an oracle checks every reply against a model
// of the protocol. VITASCAN_FUZZ_SEED repeats a run; VITASCAN_FUZZ_REQUESTS sets its length.
#include "platform/str_convert.h"
#include "tests/GrammarText.h"
#include "tests/TestFiles.h"
#include "tools/VitascanPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>

namespace {

using peer::Kind;
using testing_support::Items;
using testing_support::SequenceText;

constexpr std::uint32_t kEventsGroup = 0x10000000;
constexpr std::uint32_t kDiskSpaceBit = 0x8; // the one cheap block the generator selects

// What kind of call status a reply must carry; the errors of calls that did not run first,
// in the order of the texts their messages start with.
enum class Outcome { BadNumber, ItemCount, Unknown, Malformed, Ok };
const char* const kErrorStarts[] = {"Syntax error in \"", "Syntax error in \"",
                                    "unknown remote call \"", "malformed remote call request"};

struct Request {
    // A constructor rather than an aggregate: most requests name only the first fields.
    Request(std::string payload, Outcome outcome = Outcome::Ok, std::string quotes = {})
        : payload(std::move(payload)), outcome(outcome), quotes(std::move(quotes)) {}

    std::string payload;
    Outcome outcome;
    std::string quotes;     // a text the error message must contain
    Kind kind = Kind::Void; // the result's type when the call ran
    std::string value;      // decimal result, "f"/"t", or "*" for any non-empty text
    bool innerOk = true;    // the status inside a Status or StatusBool result
};

// The server as the protocol describes it, enough to predict every reply.
struct Model {
    std::uint32_t events = 0;
    bool blockSelected = false, targetSaves = false;
    std::size_t steps = 0, stepIndex = 0;

    // Runs a call whose arguments decoded; fills the reply the call must give.
    void Apply(const std::string& name, const std::vector<std::string>& items, Request& r) {
        if (name == "Process" || name == "ProcessStart")
            steps = blockSelected ? 1 : 0;
        if (name == "TrackEvent" || name == "TrackStringValueEvent" ||
            name == "TrackUnsignedValueEvent")
            ++events;
        else if (name == "TrackTimedEventStart")
            r.value = std::to_string(events++);
        else if (name == "AddStandardGroup")
            blockSelected |= items[0] != std::to_string(kEventsGroup) &&
                             (std::stoul(items[0]) & kDiskSpaceBit) != 0;
        else if (name == "GetNextStepDesc")
            r.value = stepIndex < steps ? "*" : "";
        else if (name == "GetProgressPct")
            r.value = std::to_string(steps == 0 ? 100 : stepIndex * 100 / steps);
        else if (name == "Process" || name == "ProcessNext") {
            const bool finished = name == "Process" || stepIndex >= steps;
            stepIndex = finished ? std::max(stepIndex, steps) : stepIndex + 1;
            // Not a literal: gcc 12 warns falsely (-Wrestrict).
            r.value = std::string(1, finished ? 't' : 'f');
            r.innerOk = !finished || targetSaves;
        }
    }
};

// Saves go to a report file in `folder` or to a name in a missing folder.
struct Generator {
    Generator(std::uint32_t seed, const std::string& folder)
        : random_(seed), goodTarget_(folder + "fuzz.vitascan"), badFolder_(folder + "missing\\") {}

    // The next request. Each oversized one is just large enough that its reply, quoting the
    // client's text in full, would not fit in a frame (every pipe read costs time here).
    Request Next(std::size_t index, std::size_t total) {
        if (index == total / 4) // 0xFF bytes: each becomes U+FFFD, three bytes, in the reply
            return {SequenceText({std::string(23000000, '\xFF'), ""}), Outcome::Unknown,
                    "\xE2\x80\xA6 (23000000 characters)"};
        if (index == total / 2) // two items of "&": the status and the reply double each
            return {SequenceText({"SaveTo", std::string(17000000, '&') + ";x"}), Outcome::ItemCount,
                    "\xE2\x80\xA6 (17000002 characters)"};
        const std::size_t dice = Pick(100);
        if (const std::string name = Hostile(); dice < 6)
            return {SequenceText({peer::FindCall(name) ? name + "?" : name, Hostile()}),
                    Outcome::Unknown};
        if (dice < 10) { // an envelope of any other item count than two
            std::vector<std::string> items(std::vector<std::size_t>{0, 1, 3, 4}[Pick(4)]);
            for (std::string& item : items)
                item = Hostile();
            if (items.size() == 1)
                items[0] += "x"; // one empty item would be the empty payload
            return {SequenceText(items), Outcome::Malformed};
        }
        return Call(peer::kCalls[Pick(peer::kCalls.size())], dice < 20);
    }

    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }

    std::string Hostile() {
        static const char kBytes[] = "aZ0;&<>\"' \n\r\t\x7F\xC3\xA9\xFF\xE2\x80\xED\xA0";
        std::string text(Pick(8) == 0 ? 300 : Pick(16), '\0');
        for (char& c : text)
            c = Pick(30) == 0 ? '\0' : kBytes[Pick(sizeof kBytes - 1)];
        return text;
    }

    std::string Argument(const std::string& name, Kind kind, bool& badNumber) {
        if (name == "SaveTo")
            return (model_.targetSaves = Pick(3) == 0) ? goodTarget_ : badFolder_ + Hostile();
        if (kind != Kind::Unsigned)
            return Hostile();
        if (Pick(10) == 0) {
            static const char* const kBad[] = {"", "-1", "+1", " 7", "4294967296", "12y", "0x10"};
            badNumber = true;
            return kBad[Pick(std::size(kBad))];
        }
        if (name == "AddStandardGroup") {
            static const std::uint32_t kGroups[] = {0, 1, 4, 64, kDiskSpaceBit, kEventsGroup};
            const std::uint32_t group = kGroups[Pick(std::size(kGroups))];
            // Each events group copies every event into the document that each finishing
            // step rebuilds: a few keep long runs linear.
            return std::to_string(group == kEventsGroup && ++eventsGroups_ > 3 ? 0 : group);
        }
        if (name == "TrackTimedEventEnd" && Pick(2) == 0)
            return std::to_string(Pick(model_.events + 3));
        return std::to_string(std::uniform_int_distribution<std::uint32_t>()(random_));
    }

    // A call from the table; `mutate` may change its item count.
    Request Call(const peer::CallShape& shape, bool mutate) {
        const Model before = model_;
        std::vector<std::string> items;
        bool badNumber = false;
        for (const Kind kind : shape.arguments)
            items.push_back(Argument(shape.name, kind, badNumber));
        const std::size_t arity = shape.arguments.size();
        if (mutate && arity == 2 && Pick(2) == 0)
            items.pop_back();
        else if (mutate && arity > 0)
            items.push_back(Hostile());
        const std::string arguments = SequenceText(items);
        Request r{SequenceText({shape.name, arguments})};
        // An empty text reads as one empty item for a one-item call.
        const std::size_t count = arguments.empty() ? (arity == 1 ? 1 : 0) : items.size();
        if (arity > 0 && (count != arity || badNumber))
            r.outcome = count != arity ? Outcome::ItemCount : Outcome::BadNumber;
        r.kind = shape.result;
        if (r.outcome == Outcome::Ok)
            model_.Apply(shape.name, items, r);
        else
            model_ = before; // a call that did not decode changed nothing, not even the target
        return r;
    }

    std::mt19937 random_;
    std::string goodTarget_, badFolder_;
    int eventsGroups_ = 0;
    Model model_;
};

// The oracle: an empty text when the reply is what the model predicts.
std::string Check(const Request& r, const std::string& reply) {
    const std::vector<std::string> items = Items(reply);
    if (items.size() != 2)
        return "the reply is not two items";
    const gtl::status status = testing_support::Decode<gtl::status>(items[0]);
    const std::string message = str::encode_utf8(status.message());
    const std::string& result = items[1];
    if (r.outcome < Outcome::Ok) { // calls that did not run: no result, quotes cut short
        const std::string start = kErrorStarts[static_cast<int>(r.outcome)];
        if (message.rfind(start, 0) != 0 || !result.empty())
            return "expected an error starting " + start + " and no result";
        const std::string end = r.quotes + (r.outcome == Outcome::Malformed ? "" : "\"");
        return message.ends_with(end) ? "" : "the message does not end " + end;
    }
    if (status.failed())
        return "the call failed";
    if (r.kind != Kind::Status && r.kind != Kind::StatusBool)
        return (r.value == "*" ? !result.empty() : result == r.value) ? "" : "expected " + r.value;
    const std::vector<std::string> pair =
        r.kind == Kind::Status ? std::vector<std::string>{result, "t"} : Items(result);
    if (pair.size() != 2 || (r.kind == Kind::StatusBool && pair[1] != r.value))
        return "expected the pair (status, " + r.value + ")";
    const gtl::status inner = testing_support::Decode<gtl::status>(pair[0]);
    if (r.innerOk)
        return inner.ok() ? "" : "expected a successful save";
    const bool quoted = str::encode_utf8(inner.message()).rfind(" Unable to save to ", 0) == 0;
    return inner.failed() && quoted ? "" : "expected a failed save";
}

std::uint32_t EnvironmentNumber(const char* name, std::uint32_t otherwise) {
    const char* text = std::getenv(name);
    return text && *text ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : otherwise;
}

TEST(ServerFuzz, EveryRequestGetsTheReplyTheModelPredicts) {
    const std::uint32_t seed = EnvironmentNumber(
        "VITASCAN_FUZZ_SEED",
        static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::size_t total = EnvironmentNumber("VITASCAN_FUZZ_REQUESTS", 2000);
    std::printf("server fuzz: seed %u, %zu requests (VITASCAN_FUZZ_SEED repeats it)\n", seed,
                total);

    const testing_support::ScratchFolder folder(L"vitascan-fuzz");
    peer::PeerOptions options;
    options.offline = true;
    peer::VitascanPeer server(options);
    ASSERT_TRUE(server.Start().ok());
    Generator generator(seed, str::encode_utf8(folder.path()));
    for (std::size_t i = 0; i < total && !HasFailure(); ++i) {
        const Request r = generator.Next(i, total);
        std::string reply;
        gtl::status io = server.SendMessage(r.payload);
        if (io.ok())
            io = server.ReadMessage(reply);
        const std::string where = "seed " + std::to_string(seed) + ", request " +
                                  std::to_string(i) + ": " + r.payload.substr(0, 80);
        ASSERT_TRUE(io.ok()) << where << ": " << str::encode_utf8(io.message());
        EXPECT_EQ(Check(r, reply), "") << where << ", reply " << reply.substr(0, 300);
    }
    server.ClosePipe();
    std::uint32_t exitCode = 1;
    EXPECT_TRUE(server.WaitForExit(60000, exitCode).ok());
    EXPECT_EQ(exitCode, 0u);
}

} // namespace
