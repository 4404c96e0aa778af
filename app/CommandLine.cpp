#include "app/CommandLine.h"

#include "Common/CommandLineUtils.h"

void CommandLine::Assign(const std::vector<std::wstring>& positional,
                         const std::vector<sys::env::NamedOption>& named) {
    for (const std::wstring& argument : positional) {
        if (argument == L"RunServer")
            runServer = true;
        else if (argument == L"Offline")
            offline = 1;
        else
            ThrowStatusAt(KesError::internal(L"CommandLine::Assign", kEntryPointSource, 481),
                          kEntryPointSource, 481);
    }
    for (const auto& [name, value] : named) {
        if (name == L"pipename")
            pipeName = value;
        else if (name == L"out")
            outputFile = value;
        else
            ThrowStatusAt(KesError::internal(L"CommandLine::Assign", kEntryPointSource, 501),
                          kEntryPointSource, 501);
    }
}
