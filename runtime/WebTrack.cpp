#include "platform/ws_track.h"

#include "platform/str_convert.h"
#include "platform/unique_handle.h"

#include <vector>

#ifndef VITASCAN_TRACK_URL
#define VITASCAN_TRACK_URL ""
#endif

namespace ws::analytics::legacy::impl {

namespace {

std::wstring TrackUrl() {
    const DWORD size = ::GetEnvironmentVariableW(L"KES_TRACK_URL", nullptr, 0);
    if (size == 0)
        return str::as_wstring(std::string(VITASCAN_TRACK_URL));
    std::wstring url(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(L"KES_TRACK_URL", url.data(), size);
    url.resize(length < size ? length : 0);
    return url;
}

// WinHTTP's own codes have their texts in winhttp.dll, not in the system table.
std::wstring WinHttpErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
            FORMAT_MESSAGE_IGNORE_INSERTS,
        ::GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    win::unique_local_mem owner(text);
    std::wstring message = length > 0 && text ? std::wstring(text, length) : L"";
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message.empty() ? L"error " + std::to_wstring(code)
                           : message + L" (" + std::to_wstring(code) + L")";
}

gtl::status Failure(const std::wstring& url, const std::wstring& what) {
    return gtl::status::error(L"Sending the report to " + url + L" failed: " + what);
}

} // namespace

gtl::status Track(const std::wstring& document) {
    const std::wstring url = TrackUrl();
    if (url.empty())
        return gtl::status::error(
            L"Sending the report failed: no tracking URL is set (KES_TRACK_URL)");

    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0)
        return Failure(url, L"the URL is not a valid http or https address");
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";

    win::unique_hinternet session(::WinHttpOpen(L"VitascanCmd", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                                WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return Failure(url, WinHttpErrorText(::GetLastError()));
    // A tracking server that stops answering must not hold the suite's report call forever.
    ::WinHttpSetTimeouts(session.get(), 10000, 10000, 30000, 30000);
    win::unique_hinternet connection(::WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return Failure(url, WinHttpErrorText(::GetLastError()));
    win::unique_hinternet request(
        ::WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                             WINHTTP_DEFAULT_ACCEPT_TYPES,
                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return Failure(url, WinHttpErrorText(::GetLastError()));

    std::string body = str::encode_utf8(document);
    const wchar_t* headers = L"Content-Type: application/xml\r\n";
    if (!::WinHttpSendRequest(request.get(), headers, static_cast<DWORD>(-1), body.data(),
                              static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()),
                              0) ||
        !::WinHttpReceiveResponse(request.get(), nullptr))
        return Failure(url, WinHttpErrorText(::GetLastError()));

    DWORD code = 0;
    DWORD size = sizeof code;
    if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX))
        return Failure(url, WinHttpErrorText(::GetLastError()));
    if (code < 200 || code > 299)
        return Failure(url, L"the server answered HTTP " + std::to_wstring(code));
    return {};
}

} // namespace ws::analytics::legacy::impl
