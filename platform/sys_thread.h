#pragma once

#include "platform/gtl_status.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace sys::thread {

// A thread of its own running one body to its end.
class Worker {
public:
    using Handle = std::shared_ptr<Worker>;

    // Starts the body on a new thread. An exception that escapes the body ends the worker
    // and is logged; it never ends the process.
    static Handle Start(std::function<void()> body);
    // Waits up to `milliseconds` (0xFFFFFFFF: without limit) for the worker to end; an error
    // status when it is still running then, or when the wait itself fails.
    static gtl::status Join(const Handle& handle, std::uint32_t milliseconds);
    // The wait limit of Join that means no limit.
    static constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

    // Waits for the thread: a worker is never left running behind its handle.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

private:
    Worker() = default;
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace sys::thread
