#pragma once
// The command line of asrlcon.exe.
#include <optional>
#include <string>
#include <vector>

namespace asrlcon {

struct client_options {
    std::wstring resource = L"ASRL1::INSTR";
    std::wstring option_string;            // handed to Init as it is
    std::optional<std::wstring> sim_file;  // selected through IControlSimulation before Init
    long access_mode = 0;                  // Init's mode: NO_LOCK, EXCLUSIVE_LOCK | LOAD_CONFIG
    long open_timeout = 2000;              // Init's time-out, ms
    std::vector<std::wstring> commands;    // -c and after "--"; none: read them from stdin
    bool show_usage = false;
};

// The options, or the reason the command line is wrong.
struct parse_result {
    client_options options;
    std::wstring error;
};
parse_result parse_options(int argc, wchar_t** argv);

extern const wchar_t usage_text[];

}  // namespace asrlcon
