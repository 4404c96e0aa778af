#include "app/CommandLine.h"

#include "Common/Failure.h"

namespace app {

namespace {

[[noreturn]] void Reject(failure::SourceLocation where) {
    failure::ThrowAt(KesError::internal(L"CommandLine::Assign", where.file, where.line), where);
}

} // namespace

void CommandLine::Assign(const std::vector<std::wstring>& positional,
                         const std::vector<sys::env::NamedOption>& named) {
    for (const std::wstring& argument : positional) {
        if (argument == L"RunServer")
            runServer = true;
        else if (argument == L"Offline")
            offline = 1;
        else
            Reject(failure::kUnknownArgument);
    }
    for (const auto& [name, value] : named) {
        if (name == L"pipename")
            pipeName = value;
        else if (name == L"out")
            outputFile = value;
        else
            Reject(failure::kUnknownOption);
    }
}

} // namespace app
