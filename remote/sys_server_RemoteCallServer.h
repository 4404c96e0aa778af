// The typed handler behind one remote call: decodes the argument text, runs the handler
// inside a guard that turns its errors into the call status, and sends the encoded reply.
#pragma once

#include "Common/Failure.h"
#include "platform/sys_server.h"
#include "remote/grammar_Tuple.h"

#include <exception>
#include <functional>
#include <tuple>
#include <type_traits>

namespace sys::server {

template <typename R, typename... A>
class RemoteCallRegistry::ServerFunctor<std::function<R(A...)>>
    : public RemoteCallRegistry::IFunctor {
public:
    using Function = std::function<R(A...)>;
    using Result = std::conditional_t<std::is_void_v<R>, std::string, R>;

    explicit ServerFunctor(Function function) : handler(std::move(function)) {}

    void Call(const std::string& argumentText, const ReplySink& replySink) override {
        kes::grammar::GrammarOfType<std::tuple<std::decay_t<A>...>> arguments;
        arguments.Decode(argumentText); // a bad text leaves here, before anything runs

        // Every call starts from success and the default result, so nothing of the last
        // call's reply leaks into this one.
        gtl::status callStatus;
        Result result{};
        try {
            if constexpr (std::is_void_v<R>)
                std::apply(handler, std::move(arguments.value));
            else
                result = std::apply(handler, std::move(arguments.value));
        } catch (const std::exception&) {
            // Other exceptions pass through to the worker, which answers them itself.
            callStatus = KesError::from_current_exception();
            result = Result{};
        }

        reply.value = std::tuple<gtl::status, Result>(std::move(callStatus), std::move(result));
        std::string text;
        reply.Encode(text);
        const gtl::status sent = replySink(text);
        if (sent.failed())
            failure::ThrowAt(sent, failure::kReplyNotSent);
    }

private:
    Function handler;
    kes::grammar::GrammarOfFunctionReturn<Function, R> reply;
};

} // namespace sys::server
