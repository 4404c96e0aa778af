#include "platform/sys_env.h"

#include "platform/unique_handle.h"

#include <shellapi.h>

namespace sys::env {

void SplitCmdLineArguments(const std::vector<std::wstring>& argv,
                           std::vector<std::wstring>& positional, std::vector<NamedOption>& named) {
    positional.clear();
    named.clear();
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::wstring& arg = argv[i];
        if (!arg.empty() && arg[0] == L'/') {
            const size_t colon = arg.find(L':');
            if (colon == std::wstring::npos)
                named.emplace_back(arg.substr(1), std::wstring());
            else
                named.emplace_back(arg.substr(1, colon - 1), arg.substr(colon + 1));
        } else {
            positional.push_back(arg);
        }
    }
}

void GetCmdLineArguments(std::vector<std::wstring>& positional, std::vector<NamedOption>& named) {
    int count = 0;
    LPWSTR* raw = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    win::unique_local_mem owner(reinterpret_cast<HLOCAL>(raw));
    std::vector<std::wstring> argv;
    if (raw != nullptr)
        argv.assign(raw, raw + count);
    SplitCmdLineArguments(argv, positional, named);
}

} // namespace sys::env
