// The remote-call server of the runtime support library: a table of named calls and the
// worker thread that serves them over a message connection.
#pragma once

#include "platform/gtl_status.h"
#include "platform/sys_message.h"
#include "platform/sys_thread.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace sys::server {

class RemoteCallRegistry {
public:
    // Sends the one reply of a call.
    using ReplySink = std::function<gtl::status(const std::string& reply)>;

    class IFunctor {
    public:
        virtual ~IFunctor() = default;
        // Decodes the arguments, runs the call and hands its encoded reply to the sink.
        // Throws gtl::status_exception when the arguments do not decode (no reply is sent
        // then) or when the sink fails.
        virtual void Call(const std::string& argumentText, const ReplySink& replySink) = 0;
    };

    // The typed handler of one call signature.
    template <typename Function> class ServerFunctor;

    // A name already present gets the new handler.
    void Register(const std::string& name, std::shared_ptr<IFunctor> functor);
    // Null when the name is not registered.
    std::shared_ptr<IFunctor> Find(const std::string& name) const;
    std::size_t Size() const { return functors_.size(); }

private:
    std::map<std::string, std::shared_ptr<IFunctor>> functors_;
};

// Told of every communication error of the worker; returns whether the worker goes on.
using ReportOnCommunicationError = std::function<bool(const gtl::status&)>;

// Logs the error and ends the worker.
ReportOnCommunicationError MakeReportOnCommunicationError();

// Serves requests from `reader` on a new thread until the peer closes the connection or the
// reporter ends it. A request is a sequence (";", "&") of two items, the call name and the
// argument text; the reply is the call's reply text. An unknown name, a malformed request
// or a call that throws gets the reply (error status, empty result) and serving goes on.
// The worker keeps its own copy of the registry.
sys::thread::Worker::Handle MakeRemoteCallWorker(const RemoteCallRegistry& registry,
                                                 std::shared_ptr<sys::message::IReader> reader,
                                                 std::shared_ptr<sys::message::IWriter> writer,
                                                 ReportOnCommunicationError reporter);

// The reply a worker sends for a request it cannot hand to a call.
std::string EncodeErrorReply(const gtl::status& status);

} // namespace sys::server
