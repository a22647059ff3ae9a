// asrlcon: a console client of the serial VISA COM session. It opens one session through COM
// and runs commands from its command line, or from its input when none are given, and exits
// with 0 only when the session opened and every command succeeded.
#include <windows.h>
#include <objbase.h>

#include "asrl_session.h"
#include "commands.h"
#include "console_io.h"
#include "failure_report.h"
#include "options.h"

namespace {

using namespace asrlcon;

enum exit_code : int { all_succeeded = 0, something_failed = 1, bad_command_line = 2 };

class com_apartment {
public:
    com_apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~com_apartment()
    {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

// Runs the commands; true when all of them succeeded. Commands that do not come from a person
// typing are echoed, so that a transcript shows what produced each answer.
bool run_commands(console_io& io, const asrl_session& session, const client_options& options)
{
    command_context ctx{io, session};
    bool ok = true;
    auto run = [&](const std::wstring& line) {
        if (!io.interactive() || !options.commands.empty())
            io.line(L"> " + line);
        ok = run_command(ctx, line) && ok;
    };
    if (!options.commands.empty()) {
        for (const auto& line : options.commands) {
            run(line);
            if (ctx.quit)
                break;
        }
        return ok;
    }
    std::wstring line;
    while (!ctx.quit) {
        if (io.interactive())
            io.write(L"asrl> ");
        if (!io.read_line(line))
            break;
        run(line);
    }
    return ok;
}

int run_client(console_io& io, const client_options& options)
{
    com_apartment com;
    if (FAILED(com.result())) {
        report_failure(io, L"CoInitializeEx", com.result());
        return something_failed;
    }
    auto session = open_session(io, options);
    if (!session)
        return something_failed;
    if (io.interactive() && options.commands.empty())
        io.line(L"type \"help\" for the commands, \"quit\" to end");
    bool ok = run_commands(io, *session, options);
    ok = SUCCEEDED(checked_call(io, L"Close", [&] { return session->visa->Close(); })) && ok;
    return ok ? all_succeeded : something_failed;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    console_io io;
    const auto parsed = parse_options(argc, argv);
    if (!parsed.error.empty()) {
        io.line(L"asrlcon: " + parsed.error);
        io.write(usage_text);
        return bad_command_line;
    }
    if (parsed.options.show_usage) {
        io.write(usage_text);
        return all_succeeded;
    }
    return run_client(io, parsed.options);
}
