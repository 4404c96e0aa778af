#include "analytics/ReportSession.h"

#include "Common/CommandLineUtils.h"
#include "platform/ws_track.h"
#include "vitascan/TextFile.h"

namespace kes::analytics::legacy {

gtl::status ReportSession::ProcessStart() {
    report.BuildSteps(groupMask, excludePii);
    return {};
}

std::wstring ReportSession::GetNextStepDesc() const {
    return report.HasNextStep() ? report.GetNextStepDesc() : std::wstring();
}

std::tuple<gtl::status, bool> ReportSession::ProcessNext() {
    if (report.HasNextStep()) {
        cmd::WriteLine(report.GetNextStepDesc());
        report.ProcessNextStep();
        return {gtl::status(), false};
    }
    // Finishing leaves the engine as it is: a further call delivers the document again.
    std::wstring document = report.GetDocument();
    if (saveTarget == L"web service")
        return {ws::analytics::legacy::impl::Track(document), true};
    std::wstring reason;
    if (vitascan::SaveReportDocument(saveTarget, std::move(document), reason))
        return {gtl::status(), true};
    return {gtl::status::error(L" Unable to save to " + KesError::quote_client_text(saveTarget) +
                               L": " + reason),
            true};
}

gtl::status ReportSession::Process() {
    gtl::status started = ProcessStart();
    if (started.failed())
        return started;
    gtl::status lastFailure;
    for (;;) {
        auto [status, done] = ProcessNext();
        if (status.failed())
            lastFailure = std::move(status);
        if (done)
            return lastFailure;
    }
}

} // namespace kes::analytics::legacy
