// Stand-in for the vendor's usage-intelligence SDK. It never touches the network. Each call
// can be journalled (RUISDK_JOURNAL names a file: one UTF-8 line per call, the function
// name and its arguments separated by TABs, the instance left out), and starting and
// stopping can be made to fail (RUISDK_FAIL_START=1, RUISDK_FAIL_STOP=1) for tests.
#define RUISDK_BUILDING_DLL
#include "platform/ruiSDK.h"
#include "platform/unique_handle.h"

#include <string>

#include <windows.h>

struct RuiInstance {
    bool configured = false;
    bool started = false;
};

namespace {

constexpr RUIRESULT kOk = 0;
constexpr RUIRESULT kFailed = 1;
constexpr RUIRESULT kNoInstance = 2;

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

bool Switch(const wchar_t* name) {
    return Environment(name) == L"1";
}

// One journal line, built argument by argument and appended by Write(). The write is an
// explicit call, not the destructor's job, so that a line never depends on when a
// temporary happens to be destroyed.
class Entry {
public:
    explicit Entry(const char* function) : line_(function) {}
    Entry& Text(const char* text) {
        line_ += '\t';
        line_ += text ? text : "(null)";
        return *this;
    }
    Entry& Flag(bool value) {
        line_ += value ? "\ttrue" : "\tfalse";
        return *this;
    }
    Entry& Number(std::int32_t value) {
        line_ += '\t';
        line_ += std::to_string(value);
        return *this;
    }
    void Write() {
        const std::wstring path = Environment(L"RUISDK_JOURNAL");
        if (path.empty())
            return;
        const win::unique_file_handle file(
            ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return;
        line_ += '\n';
        DWORD written = 0;
        ::WriteFile(file.get(), line_.data(), static_cast<DWORD>(line_.size()), &written, nullptr);
    }

private:
    std::string line_;
};

} // namespace

extern "C" {

RUIINSTANCE ruiCreateInstance(bool multipleSessions) {
    Entry("ruiCreateInstance").Flag(multipleSessions).Write();
    return new RuiInstance();
}

RUIRESULT ruiCreateConfig(RUIINSTANCE instance, const char* configPath, const char* productId,
                          const char* applicationName, const char* server, std::int32_t protocol,
                          const char* key, bool multipleSessions, bool reachOut) {
    Entry("ruiCreateConfig")
        .Text(configPath)
        .Text(productId)
        .Text(applicationName)
        .Text(server)
        .Number(protocol)
        .Text(key)
        .Flag(multipleSessions)
        .Flag(reachOut)
        .Write();
    if (!instance)
        return kNoInstance;
    instance->configured = true;
    return kOk;
}

RUIRESULT ruiSetProductData(RUIINSTANCE instance, const char* edition,
                            const char* applicationNumber, const char* version,
                            const char* buildKind) {
    Entry("ruiSetProductData")
        .Text(edition)
        .Text(applicationNumber)
        .Text(version)
        .Text(buildKind)
        .Write();
    return instance ? kOk : kNoInstance;
}

RUIRESULT ruiStartSDK(RUIINSTANCE instance) {
    Entry("ruiStartSDK").Write();
    if (!instance)
        return kNoInstance;
    if (Switch(L"RUISDK_FAIL_START") || !instance->configured)
        return kFailed;
    instance->started = true;
    return kOk;
}

RUIRESULT ruiStopSDK(RUIINSTANCE instance, std::int32_t waitSeconds) {
    Entry("ruiStopSDK").Number(waitSeconds).Write();
    if (!instance)
        return kNoInstance;
    if (Switch(L"RUISDK_FAIL_STOP") || !instance->started)
        return kFailed;
    instance->started = false;
    return kOk;
}

RUIRESULT ruiTrackEvent(RUIINSTANCE instance, const char* category, const char* name,
                        const char* session) {
    Entry("ruiTrackEvent").Text(category).Text(name).Text(session).Write();
    return instance ? kOk : kNoInstance;
}

RUIRESULT ruiTrackEventText(RUIINSTANCE instance, const char* category, const char* name,
                            const char* value, const char* session) {
    Entry("ruiTrackEventText").Text(category).Text(name).Text(value).Text(session).Write();
    return instance ? kOk : kNoInstance;
}

RUIRESULT ruiDestroyInstance(RUIINSTANCE instance) {
    Entry("ruiDestroyInstance").Write();
    if (!instance)
        return kNoInstance;
    delete instance;
    return kOk;
}

} // extern "C"
