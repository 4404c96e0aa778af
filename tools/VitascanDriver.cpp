// Drives VitascanCmd.exe in server mode from a script, the way the suite does, and prints
// each reply. The script is UTF-8, one call per line: the call name, then its arguments
// separated by blanks. Double quotes keep blanks ("" inside them is one quote); a backslash
// is an ordinary character, so Windows paths need no escaping. '#' starts a comment.
// Directives: !raw NAME TEXT (the argument text as given), !envelope TEXT (a whole request
// as given), !frame-length N (a bare 4-byte length), !bytes HEX (bytes without a frame),
// !close (close the pipe and wait for the server). See docs/PROTOCOL.md.
//
//   VitascanDriver.exe [--offline] [--show-output] [--raw] [--exe PATH] [--pipe NAME]
//                      [--server-args TEXT] SCRIPT|-
#include "platform/kes_grammar.h"
#include "platform/math_convert.h"
#include "platform/str_convert.h"
#include "platform/sys_console.h"
#include "platform/sys_message.h"
#include "tools/VitascanPeer.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <vector>

#include <shellapi.h>

namespace {

using peer::CallShape;
using peer::FindCall;
using peer::Kind;

void Print(const std::wstring& line) {
    std::fputws((line + L"\n").c_str(), stdout);
    std::fflush(stdout);
}

std::wstring Quote(const std::wstring& text) {
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        switch (c) {
        case L'"':
            out += L"\\\"";
            break;
        case L'\\':
            out += L"\\\\";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\t':
            out += L"\\t";
            break;
        default:
            if (c < 0x20)
                out += str::snprintf(L"\\u%04x", static_cast<unsigned>(c));
            else
                out += c;
        }
    }
    return out + L"\"";
}

std::wstring StatusText(const gtl::status& status) {
    return status.ok() ? L"ok" : L"error " + Quote(gtl::status::detail::as_wstring(status));
}

// The result text shown for a reply of the given kind.
std::wstring ShowResult(Kind kind, const std::string& text) {
    switch (kind) {
    case Kind::Void:
        return text.empty() ? L"" : L" " + Quote(str::decode_utf8(text));
    case Kind::Text:
        return L" " + Quote(str::decode_utf8(text));
    case Kind::Unsigned:
    case Kind::Int:
    case Kind::Bool:
        return L" " + str::decode_utf8(text);
    case Kind::Status: {
        kes::grammar::GrammarOfType<gtl::status> status;
        status.Decode(text);
        return L" (" + StatusText(status.value) + L")";
    }
    case Kind::StatusBool: {
        kes::grammar::Sequence pair(';', '&');
        pair.Decode(text);
        if (pair.value.size() != 2)
            return L" " + Quote(str::decode_utf8(text));
        kes::grammar::GrammarOfType<gtl::status> status;
        status.Decode(pair.value[0]);
        return L" (" + StatusText(status.value) + L", " +
               (pair.value[1] == "t" ? L"true" : L"false") + L")";
    }
    }
    return {};
}

// Prints reply payloads as they travel instead of decoding them (--raw).
bool showRaw = false;

void ShowReply(const std::wstring& label, Kind kind, const std::string& reply) {
    if (showRaw) {
        Print(label + L" -> raw " + Quote(str::decode_utf8(reply)));
        return;
    }
    peer::RawReply raw;
    if (gtl::status s = peer::DecodeRawReply(reply, raw); s.failed()) {
        Print(label + L" -> malformed reply " + Quote(str::decode_utf8(reply)));
        return;
    }
    if (raw.callStatus.failed())
        Print(label + L" -> " + StatusText(raw.callStatus) +
              (raw.result.empty() ? L"" : ShowResult(kind, raw.result)));
    else
        Print(label + L" -> ok" + ShowResult(kind, raw.result));
}

// Splits a script line into tokens; quotes keep blanks.
std::optional<std::vector<std::wstring>> Tokenize(const std::wstring& line, std::wstring& error) {
    std::vector<std::wstring> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t'))
            ++i;
        if (i >= line.size() || line[i] == L'#')
            break;
        std::wstring token;
        if (line[i] == L'"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == L'"') {
                    // A doubled quote inside quotes is one quote character.
                    if (i + 1 < line.size() && line[i + 1] == L'"') {
                        token += L'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                token += line[i++];
            }
            if (!closed) {
                error = L"unclosed quote";
                return std::nullopt;
            }
        } else {
            while (i < line.size() && line[i] != L' ' && line[i] != L'\t')
                token += line[i++];
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

std::string EncodeArgument(Kind kind, const std::wstring& token) {
    switch (kind) {
    case Kind::Unsigned:
        return math::impl::ConvertInt<unsigned int>::to_string(
            math::impl::ConvertInt<unsigned int>::from_string(token));
    case Kind::Bool:
        return (token == L"true" || token == L"t" || token == L"1") ? "t" : "f";
    default:
        return str::encode_utf8(token);
    }
}

// The rest of the line after the first `words` tokens, as written.
std::wstring RestAfter(const std::wstring& line, int words) {
    size_t i = 0;
    for (int w = 0; w < words; ++w) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t'))
            ++i;
        while (i < line.size() && line[i] != L' ' && line[i] != L'\t')
            ++i;
    }
    if (i < line.size())
        ++i; // the one blank after the last word
    return line.substr(std::min(i, line.size()));
}

int Fail(const std::wstring& message) {
    std::fputws((L"VitascanDriver: " + message + L"\n").c_str(), stderr);
    return 2;
}

const wchar_t kUsage[] = L"usage: VitascanDriver.exe [--offline] [--show-output] [--raw] "
                         L"[--exe PATH] [--pipe NAME] [--server-args TEXT] SCRIPT|-";

struct DriverOptions {
    peer::PeerOptions peer;
    std::wstring scriptPath;
};

// Reads the program's own command line; an error text (with the usage) when it is wrong.
std::optional<DriverOptions> ParseCommandLine(std::wstring& error) {
    int count = 0;
    const win::unique_argv argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!argv) {
        error = L"cannot read the command line";
        return std::nullopt;
    }
    DriverOptions options;
    for (int i = 1; i < count; ++i) {
        const std::wstring arg = argv.get()[i];
        if (arg == L"--offline")
            options.peer.offline = true;
        else if (arg == L"--show-output")
            options.peer.quiet = false;
        else if (arg == L"--raw")
            showRaw = true;
        else if (arg == L"--exe" && i + 1 < count)
            options.peer.exePath = argv.get()[++i];
        else if (arg == L"--pipe" && i + 1 < count)
            options.peer.pipeName = argv.get()[++i];
        else if (arg == L"--server-args" && i + 1 < count)
            options.peer.serverArguments = argv.get()[++i];
        else if (options.scriptPath.empty() && (arg == L"-" || arg[0] != L'-'))
            options.scriptPath = arg;
        else {
            error = L"unknown argument " + arg + L"\n" + kUsage;
            return std::nullopt;
        }
    }
    if (options.scriptPath.empty()) {
        error = std::wstring(L"no script given\n") + kUsage;
        return std::nullopt;
    }
    return options;
}

// The script's bytes from the file, or from standard input for "-".
std::optional<std::string> ReadScript(const std::wstring& path) {
    if (path == L"-") {
        std::ostringstream all;
        all << std::cin.rdbuf();
        return all.str();
    }
    const win::unique_file_stream file(::_wfopen(path.c_str(), L"rb"));
    if (!file)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
        bytes.append(buffer, n);
    return bytes;
}

// A call line: its arguments encoded by the call's types (text for unknown calls).
gtl::status SendCall(peer::VitascanPeer& server, const std::vector<std::wstring>& tokens,
                     const std::wstring& where) {
    const std::string name = str::encode_utf8(tokens[0]);
    const CallShape* shape = FindCall(name);
    kes::grammar::Sequence arguments(';', '&');
    try {
        for (size_t i = 1; i < tokens.size(); ++i) {
            const Kind kind =
                shape && i - 1 < shape->arguments.size() ? shape->arguments[i - 1] : Kind::Text;
            arguments.value.push_back(EncodeArgument(kind, tokens[i]));
        }
    } catch (const gtl::status_exception& e) {
        Print(where + gtl::status::detail::as_wstring(e.get_status()) +
              L" (use !raw to send it anyway)");
        return {};
    }
    std::string argumentText;
    arguments.Encode(argumentText);
    std::string reply;
    gtl::status transport = server.CallRaw(name, argumentText, reply);
    if (transport.ok())
        ShowReply(tokens[0], shape ? shape->result : Kind::Void, reply);
    return transport;
}

// A directive line (see the top of this file); `closed` is set by !close.
gtl::status RunDirective(peer::VitascanPeer& server, const std::vector<std::wstring>& tokens,
                         const std::wstring& line, const std::wstring& where, bool& closed) {
    const std::wstring& head = tokens[0];
    std::string reply;
    if (head == L"!close") {
        server.ClosePipe();
        closed = true;
        return {};
    }
    if (head == L"!raw" && tokens.size() >= 2) {
        const std::string name = str::encode_utf8(tokens[1]);
        const CallShape* shape = FindCall(name);
        gtl::status transport = server.CallRaw(name, str::encode_utf8(RestAfter(line, 2)), reply);
        if (transport.ok())
            ShowReply(tokens[1], shape ? shape->result : Kind::Void, reply);
        return transport;
    }
    if (head == L"!envelope") {
        gtl::status transport = server.SendMessage(str::encode_utf8(RestAfter(line, 1)));
        if (transport.ok())
            transport = server.ReadMessage(reply);
        if (transport.ok())
            ShowReply(L"!envelope", Kind::Void, reply);
        return transport;
    }
    if (head == L"!frame-length" && tokens.size() == 2) {
        std::uint32_t length = 0;
        try {
            length = math::impl::ConvertInt<std::uint32_t>::from_string(tokens[1]);
        } catch (const gtl::status_exception& e) {
            Print(where + gtl::status::detail::as_wstring(e.get_status()));
            return {};
        }
        return server.SendBytes(sys::message::FrameHeader(length));
    }
    if (head == L"!bytes" && tokens.size() == 2) {
        std::string bytes;
        const std::wstring& hex = tokens[1];
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes += static_cast<char>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16));
        return server.SendBytes(bytes);
    }
    std::wstring message = where + L"unknown directive ";
    message += head;
    Print(message);
    return {};
}

// Runs the script line by line; true when it closed the pipe itself. A lost connection
// ends the script.
bool RunScript(peer::VitascanPeer& server, const std::string& scriptBytes) {
    std::wistringstream script(str::decode_utf8(scriptBytes));
    std::wstring line;
    int lineNumber = 0;
    bool closed = false;
    while (!closed && std::getline(script, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        std::wstring error;
        const auto tokens = Tokenize(line, error);
        const std::wstring where = L"line " + std::to_wstring(lineNumber) + L": ";
        if (!tokens) {
            Print(where + error);
            continue;
        }
        if (tokens->empty())
            continue;
        const gtl::status transport = (*tokens)[0][0] == L'!'
                                          ? RunDirective(server, *tokens, line, where, closed)
                                          : SendCall(server, *tokens, where);
        if (transport.failed()) {
            Print(where + L"connection lost: " + gtl::status::detail::as_wstring(transport));
            break;
        }
    }
    return closed;
}

} // namespace

int main() {
    sys::console::SetAsUnicode();
    std::wstring error;
    const std::optional<DriverOptions> options = ParseCommandLine(error);
    if (!options)
        return Fail(error);
    const std::optional<std::string> scriptBytes = ReadScript(options->scriptPath);
    if (!scriptBytes)
        return Fail(L"cannot read " + options->scriptPath);

    peer::VitascanPeer server(options->peer);
    if (gtl::status started = server.Start(); started.failed())
        return Fail(gtl::status::detail::as_wstring(started));
    if (!RunScript(server, *scriptBytes))
        server.ClosePipe();

    std::uint32_t exitCode = 0;
    if (gtl::status waited = server.WaitForExit(60000, exitCode); waited.failed())
        return Fail(gtl::status::detail::as_wstring(waited));
    Print(L"exit code " + std::to_wstring(exitCode));
    return static_cast<int>(exitCode);
}
