#include "app/ServerRun.h"

#include "Common/Failure.h"
#include "analytics/AnalyticsService.h"
#include "platform/sys_message.h"
#include "platform/sys_server.h"
#include "remote/RemoteCalls.h"

namespace app {

void RunServer(const std::wstring& pipeName, int offline) {
    sys::message::pipe::ClientSettings settings;
    settings.pipeName = pipeName;
    settings.readSize = 1024;
    settings.waitSeconds = 1;
    const std::shared_ptr<sys::message::IReaderWriterConnection> connection =
        sys::message::MakeNamedPipeClientDuplex(settings);
    const gtl::status opened = connection->Open();
    if (opened.failed())
        failure::ThrowAt(opened, failure::kPipeNotOpened);

    // The service is built before the worker starts and destroyed only after it has ended:
    // the handlers never see it half made.
    kes::analytics::legacy::impl::AnalyticsService service(offline);
    sys::server::ReportOnCommunicationError reporter =
        sys::server::MakeReportOnCommunicationError();
    std::shared_ptr<sys::message::IReader> reader = connection;
    std::shared_ptr<sys::message::IWriter> writer = connection;
    auto registry =
        std::make_unique<sys::server::RemoteCallRegistry>(remote::MakeRemoteCallRegistry(service));
    const sys::thread::Worker::Handle worker = sys::server::MakeRemoteCallWorker(
        *registry, std::move(reader), std::move(writer), reporter);
    // The worker holds its own copies now.
    registry.reset();

    const gtl::status joined = sys::thread::Worker::Join(worker, sys::thread::Worker::kWaitForever);
    if (joined.failed())
        THROW_STATUS(joined);
}

} // namespace app
