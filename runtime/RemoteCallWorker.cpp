#include "platform/sys_server.h"

#include "platform/kes_diag.h"
#include "platform/kes_grammar.h"
#include "platform/str_convert.h"

namespace sys::server {

void RemoteCallRegistry::Register(const std::string& name, std::shared_ptr<IFunctor> functor) {
    functors_[name] = std::move(functor);
}

std::shared_ptr<RemoteCallRegistry::IFunctor>
RemoteCallRegistry::Find(const std::string& name) const {
    const auto found = functors_.find(name);
    return found == functors_.end() ? nullptr : found->second;
}

ReportOnCommunicationError MakeReportOnCommunicationError() {
    return [](const gtl::status& error) {
        KES_LOG(kes::diag::kError, kes::diag::kRemoteCall,
                L"Remote-call connection failed: " + gtl::status::detail::as_wstring(error));
        return false;
    };
}

std::string EncodeErrorReply(const gtl::status& status) {
    kes::grammar::GrammarOfType<gtl::status> statusCodec;
    statusCodec.value = status;
    kes::grammar::Sequence reply(';', '&');
    reply.value.resize(2);
    statusCodec.Encode(reply.value[0]);
    std::string text;
    reply.Encode(text);
    return text;
}

namespace {

class RemoteCallLoop {
public:
    RemoteCallLoop(RemoteCallRegistry registry, std::shared_ptr<sys::message::IReader> reader,
                   std::shared_ptr<sys::message::IWriter> writer,
                   ReportOnCommunicationError reporter)
        : registry_(std::move(registry)), reader_(std::move(reader)), writer_(std::move(writer)),
          reporter_(std::move(reporter)) {}

    void Run() {
        std::string request;
        for (;;) {
            bool ended = false;
            const gtl::status read = reader_->Read(request, ended);
            if (read.failed()) {
                if (!reporter_(read))
                    return;
                continue;
            }
            if (ended)
                return;
            const gtl::status served = Serve(request);
            if (served.failed() && !reporter_(served))
                return;
        }
    }

private:
    // Answers one request; an error status only when the reply could not be written.
    gtl::status Serve(const std::string& request) {
        kes::grammar::Sequence envelope(';', '&');
        envelope.Decode(request);
        if (envelope.value.size() != 2)
            return writer_->Write(
                EncodeErrorReply(gtl::status::error(L"malformed remote call request: expected 2 "
                                                    L"items (call name and arguments), found " +
                                                    std::to_wstring(envelope.value.size()))));
        const std::string& name = envelope.value[0];
        const std::shared_ptr<RemoteCallRegistry::IFunctor> functor = registry_.Find(name);
        if (!functor)
            return WriteBounded(name,
                                EncodeErrorReply(gtl::status::error(
                                    L"unknown remote call \"" +
                                    KesError::quote_client_text(str::decode_utf8(name)) + L"\"")));

        // The call writes its own reply through the sink; a failed write is remembered so
        // that it ends the connection instead of being answered.
        bool replied = false;
        gtl::status writeStatus;
        const RemoteCallRegistry::ReplySink sink = [&](const std::string& reply) {
            replied = true;
            writeStatus = WriteBounded(name, reply);
            return writeStatus;
        };
        gtl::status callError;
        try {
            functor->Call(envelope.value[1], sink);
        } catch (...) {
            callError = KesError::from_current_exception();
        }
        if (writeStatus.failed())
            return writeStatus;
        if (!replied)
            return WriteBounded(
                name, EncodeErrorReply(callError.failed()
                                           ? callError
                                           : gtl::status::error(L"the call sent no reply")));
        return {};
    }

    // Sends a reply, or, when it is too large for one message, a short error reply that says
    // so: a request must never go unanswered, nor end the session, because of its reply.
    gtl::status WriteBounded(const std::string& name, const std::string& reply) {
        if (reply.size() <= sys::message::kMaxMessageSize)
            return writer_->Write(reply);
        return writer_->Write(EncodeErrorReply(gtl::status::error(
            L"the reply to " + KesError::quote_client_text(str::decode_utf8(name)) + L" is " +
            std::to_wstring(reply.size()) + L" bytes, over the message limit of " +
            std::to_wstring(sys::message::kMaxMessageSize) + L" bytes")));
    }

    RemoteCallRegistry registry_;
    std::shared_ptr<sys::message::IReader> reader_;
    std::shared_ptr<sys::message::IWriter> writer_;
    ReportOnCommunicationError reporter_;
};

} // namespace

sys::thread::Worker::Handle MakeRemoteCallWorker(const RemoteCallRegistry& registry,
                                                 std::shared_ptr<sys::message::IReader> reader,
                                                 std::shared_ptr<sys::message::IWriter> writer,
                                                 ReportOnCommunicationError reporter) {
    auto loop = std::make_shared<RemoteCallLoop>(registry, std::move(reader), std::move(writer),
                                                 std::move(reporter));
    return sys::thread::Worker::Start([loop] { loop->Run(); });
}

} // namespace sys::server
