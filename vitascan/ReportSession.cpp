#include "vitascan/ReportSession.h"

#include "Common/CommandLineUtils.h"
#include "platform/ws_track.h"
#include "vitascan/TextFile.h"

namespace vitascan {

namespace {

// The one wording of a failed save, on the console and in a remote call's status.
std::wstring UnableToSave(const std::wstring& target, const std::wstring& reason) {
    return L"Unable to save to " + target + L": " + reason;
}

} // namespace

gtl::status ReportSession::ProcessStart() {
    report.BuildSteps(groupMask, excludePii);
    return {};
}

std::wstring ReportSession::GetNextStepDesc() const {
    return report.HasNextStep() ? report.GetNextStepDesc() : std::wstring();
}

bool ReportSession::RunNextStep() {
    if (!report.HasNextStep())
        return false;
    cmd::WriteLine(report.GetNextStepDesc());
    report.ProcessNextStep();
    return true;
}

void ReportSession::RunSteps() {
    ProcessStart();
    while (RunNextStep()) {
    }
}

std::tuple<gtl::status, bool> ReportSession::ProcessNext() {
    if (RunNextStep())
        return {gtl::status(), false};
    // Finishing leaves the engine as it is: a further call delivers the document again.
    return {Deliver(), true};
}

gtl::status ReportSession::Process() {
    RunSteps();
    return Deliver();
}

void ReportSession::RunToFile(const std::wstring& path) {
    RunSteps();
    if (const auto reason = SaveDocument(path))
        cmd::WriteLine(UnableToSave(path, *reason));
}

gtl::status ReportSession::Deliver() {
    if (saveTarget == L"web service")
        return ws::analytics::legacy::impl::Track(report.GetDocument());
    if (const auto reason = SaveDocument(saveTarget))
        // The suite expects this message to start with a blank.
        return gtl::status::error(L" " +
                                  UnableToSave(KesError::quote_client_text(saveTarget), *reason));
    return {};
}

std::optional<std::wstring> ReportSession::SaveDocument(const std::wstring& path) {
    std::wstring document = report.GetDocument();
    // Text mode writes each line end as CR LF: with the CRs removed first, every line of the
    // file ends with CR LF exactly once.
    std::erase(document, L'\r');
    cmd::WriteLine(L"Saving to " + path);
    return textfile::Save(path, document);
}

} // namespace vitascan
