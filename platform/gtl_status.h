// Status values of the runtime support library: the result of a fallible operation and the
// exception that carries one across layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace gtl {

// Base of types that own something unique and must not be copied.
class not_copyable {
protected:
    not_copyable() = default;
    ~not_copyable() = default;

public:
    not_copyable(const not_copyable&) = delete;
    not_copyable& operator=(const not_copyable&) = delete;
};

// Null is success. An error carries a message and may carry the source file and line that
// raised it.
class status {
public:
    status() = default;
    status(const status& other);
    status& operator=(const status& other);
    status(status&&) noexcept = default;
    status& operator=(status&&) noexcept = default;
    ~status() = default;

    // An error status; the file is empty and the line 0 when the location is unknown.
    static status error(std::wstring message, std::string file = {}, std::uint32_t line = 0);

    bool ok() const { return !rep_; }
    bool failed() const { return static_cast<bool>(rep_); }

    // Empty for a success status.
    const std::wstring& message() const;
    const std::string& file() const;
    std::uint32_t line() const;

    // Records where the status was raised; no effect on a success status.
    void set_location(std::string file, std::uint32_t line);

    friend bool operator==(const status& a, const status& b);

    struct detail {
        // Display text: the message, then " (file:line)" when a file is known; empty for
        // success.
        static std::wstring as_wstring(const status& s);
    };

private:
    struct Rep {
        std::wstring message;
        std::string file;
        std::uint32_t line = 0;
    };
    std::unique_ptr<Rep> rep_;
};

// A standard exception that carries one status. what() is its display text in UTF-8.
class status_exception : public std::exception {
public:
    explicit status_exception(status s);
    const status& get_status() const noexcept { return status_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    status status_;
    std::string what_;
};

} // namespace gtl

// Makers of the runtime library's error statuses.
namespace KesError {
// An internal error of the named operation, raised at file:line.
gtl::status internal(const std::wstring& what, const std::string& file, std::uint32_t line);
// A text that does not follow its grammar.
gtl::status syntax(const std::wstring& text);
// A standard exception caught where only statuses may leave.
gtl::status unexpected_exception(const std::wstring& message);
// The status of the exception being handled: a status exception gives its status, a standard
// exception unexpected_exception with its text, anything else unexpected_exception with a
// fixed text. Call it only inside a catch block.
gtl::status from_current_exception();

// How an error message quotes a text the client sent: whole when it has at most
// kQuotedTextLimit characters; else its first kQuotedTextLimit characters, then "…" and its
// full length, as in "abc… (22000000 characters)". So no reply outgrows the frame limit
// because of what it quotes.
inline constexpr std::size_t kQuotedTextLimit = 4096;
std::wstring quote_client_text(const std::wstring& text);
} // namespace KesError

// The system's message for a Windows error code, narrow text in the ANSI code page as the
// system's A functions give it (str::as_wstring widens it), without its trailing line break;
// no value when the system has no message for the code.
std::optional<std::string> KESErrMsg(std::uint32_t errorCode);

// The same as wide text for error statuses; "error N" when the system has no message.
std::wstring KESErrText(std::uint32_t errorCode);
