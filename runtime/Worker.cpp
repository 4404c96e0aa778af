#include "platform/sys_thread.h"

#include "platform/gtl_status.h"
#include "platform/kes_diag.h"
#include "platform/unique_handle.h"

#include <process.h>

namespace sys::thread {

struct Worker::State {
    std::function<void()> body;
    win::unique_object_handle thread;
};

namespace {

unsigned __stdcall RunBody(void* argument) {
    auto* body = static_cast<std::function<void()>*>(argument);
    try {
        (*body)();
    } catch (...) {
        KES_LOG(kes::diag::kError, kes::diag::kGeneral,
                L"Worker ended by an exception: " +
                    gtl::status::detail::as_wstring(KesError::from_current_exception()));
    }
    return 0;
}

} // namespace

Worker::Handle Worker::Start(std::function<void()> body) {
    Handle worker(new Worker());
    worker->state_ = std::make_unique<State>();
    worker->state_->body = std::move(body);
    const uintptr_t thread =
        ::_beginthreadex(nullptr, 0, RunBody, &worker->state_->body, 0, nullptr);
    if (thread == 0)
        throw gtl::status_exception(gtl::status::error(L"Cannot start a worker thread"));
    worker->state_->thread.reset(reinterpret_cast<HANDLE>(thread));
    return worker;
}

gtl::status Worker::Join(const Handle& handle, std::uint32_t milliseconds) {
    if (!handle || !handle->state_->thread)
        return {};
    const DWORD result = ::WaitForSingleObject(handle->state_->thread.get(), milliseconds);
    if (result == WAIT_OBJECT_0)
        return {};
    if (result == WAIT_TIMEOUT)
        return gtl::status::error(L"The worker is still running after " +
                                  std::to_wstring(milliseconds) + L" ms");
    return gtl::status::error(L"Waiting for the worker failed");
}

Worker::~Worker() {
    if (state_ && state_->thread)
        ::WaitForSingleObject(state_->thread.get(), INFINITE);
}

} // namespace sys::thread
