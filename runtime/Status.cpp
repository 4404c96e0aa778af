#include "platform/gtl_status.h"

#include "platform/str_convert.h"
#include "platform/unique_handle.h"

namespace gtl {

status::status(const status& other)
    : rep_(other.rep_ ? std::make_unique<Rep>(*other.rep_) : nullptr) {}

status& status::operator=(const status& other) {
    if (this != &other)
        rep_ = other.rep_ ? std::make_unique<Rep>(*other.rep_) : nullptr;
    return *this;
}

status status::error(std::wstring message, std::string file, std::uint32_t line) {
    status s;
    s.rep_ = std::make_unique<Rep>(Rep{std::move(message), std::move(file), line});
    return s;
}

const std::wstring& status::message() const {
    static const std::wstring empty;
    return rep_ ? rep_->message : empty;
}

const std::string& status::file() const {
    static const std::string empty;
    return rep_ ? rep_->file : empty;
}

std::uint32_t status::line() const {
    return rep_ ? rep_->line : 0;
}

void status::set_location(std::string file, std::uint32_t line) {
    if (!rep_)
        return;
    rep_->file = std::move(file);
    rep_->line = line;
}

bool operator==(const status& a, const status& b) {
    if (a.ok() || b.ok())
        return a.ok() == b.ok();
    return a.rep_->message == b.rep_->message && a.rep_->file == b.rep_->file &&
           a.rep_->line == b.rep_->line;
}

std::wstring status::detail::as_wstring(const status& s) {
    if (s.ok())
        return {};
    std::wstring text = s.message();
    if (!s.file().empty())
        text += L" (" + str::as_wstring(s.file()) + L":" + std::to_wstring(s.line()) + L")";
    return text;
}

status_exception::status_exception(status s)
    : status_(std::move(s)), what_(str::encode_utf8(status::detail::as_wstring(status_))) {}

} // namespace gtl

namespace KesError {

gtl::status internal(const std::wstring& what, const std::string& file, std::uint32_t line) {
    return gtl::status::error(L"Internal error in " + what, file, line);
}

gtl::status syntax(const std::wstring& text) {
    return gtl::status::error(L"Syntax error in \"" + quote_client_text(text) + L"\"");
}

gtl::status unexpected_exception(const std::wstring& message) {
    return gtl::status::error(L"Unexpected exception: " + message);
}

gtl::status from_current_exception() {
    try {
        throw;
    } catch (const gtl::status_exception& e) {
        return e.get_status();
    } catch (const std::exception& e) {
        return unexpected_exception(str::decode_utf8(e.what()));
    } catch (...) {
        return unexpected_exception(L"unknown exception");
    }
}

std::wstring quote_client_text(const std::wstring& text) {
    if (text.size() <= kQuotedTextLimit)
        return text;
    std::size_t cut = kQuotedTextLimit;
    // Never split a surrogate pair.
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF)
        --cut;
    return text.substr(0, cut) + L"\u2026 (" + std::to_wstring(text.size()) + L" characters)";
}

} // namespace KesError

std::optional<std::string> KESErrMsg(std::uint32_t errorCode) {
    win::unique_local_mem buffer;
    DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, errorCode, 0, reinterpret_cast<LPSTR>(buffer.put()), 0, nullptr);
    if (length == 0 || !buffer)
        return std::nullopt;
    std::string text(static_cast<const char*>(buffer.get()), length);
    // The system ends its messages with a line break (and sometimes a blank); a console line
    // built from the message must end once.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::wstring KESErrText(std::uint32_t errorCode) {
    const auto message = KESErrMsg(errorCode);
    return message ? str::as_wstring(*message) : L"error " + std::to_wstring(errorCode);
}
