#include "options.h"

#include <windows.h>

#include <cwchar>
#include <string_view>

#include "visacom.h"

namespace asrlcon {

const wchar_t usage_text[] =
    L"usage: asrlcon [options] [RESOURCE] [-c COMMAND]... [-- COMMAND...]\n"
    L"\n"
    L"Opens a serial VISA COM session (default ASRL1::INSTR) and runs the commands given with\n"
    L"-c or after \"--\", one per argument; without commands it reads them from its input.\n"
    L"\n"
    L"  -r, --resource NAME   resource to open\n"
    L"  --options TEXT        option string handed to Init,\n"
    L"                        e.g. \"BaudRate = 19200 ; Parity = ASRL_PAR_EVEN\"\n"
    L"  --sim FILE            play the simulated device FILE (through IControlSimulation)\n"
    L"  --exclusive           open with an exclusive lock\n"
    L"  --load-config         open with the configured line settings\n"
    L"  --open-timeout MS     time-out of the open (default 2000)\n"
    L"  -c COMMAND            a command to run (may be repeated)\n"
    L"  -h, --help            this text; \"help\" at the prompt lists the commands\n"
    L"\n"
    L"Exit code: 0 when the session opened and every command succeeded, 1 when something\n"
    L"failed, 2 for a wrong command line.\n";

namespace {

bool parse_long(const wchar_t* text, long& value)
{
    wchar_t* end = nullptr;
    value = std::wcstol(text, &end, 0);
    return *text != L'\0' && *end == L'\0';
}

}  // namespace

parse_result parse_options(int argc, wchar_t** argv)
{
    parse_result r;
    client_options& o = r.options;
    bool resource_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg = argv[i];
        // The option's value, or an error when the command line ends first.
        auto value = [&]() -> const wchar_t* {
            if (i + 1 < argc)
                return argv[++i];
            r.error = L"option " + std::wstring(arg) + L" needs a value";
            return nullptr;
        };
        if (arg == L"--") {
            for (++i; i < argc; ++i)
                o.commands.emplace_back(argv[i]);
        } else if (arg == L"-c") {
            if (auto v = value())
                o.commands.emplace_back(v);
        } else if (arg == L"-r" || arg == L"--resource") {
            if (auto v = value()) {
                o.resource = v;
                resource_given = true;
            }
        } else if (arg == L"--options") {
            if (auto v = value())
                o.option_string = v;
        } else if (arg == L"--sim") {
            if (auto v = value())
                o.sim_file = v;
        } else if (arg == L"--exclusive") {
            o.access_mode |= EXCLUSIVE_LOCK;
        } else if (arg == L"--load-config") {
            o.access_mode |= LOAD_CONFIG;
        } else if (arg == L"--open-timeout") {
            if (auto v = value(); v && !parse_long(v, o.open_timeout))
                r.error = L"--open-timeout needs a number of milliseconds";
        } else if (arg == L"-h" || arg == L"--help" || arg == L"/?") {
            o.show_usage = true;
        } else if (!arg.empty() && arg[0] != L'-' && !resource_given) {
            o.resource = arg;
            resource_given = true;
        } else {
            r.error = L"unknown argument " + std::wstring(arg);
        }
        if (!r.error.empty())
            break;
    }
    return r;
}

}  // namespace asrlcon
