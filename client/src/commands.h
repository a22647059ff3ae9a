#pragma once
// The client's commands: one table of names, usages and handlers, and the runner of one
// typed command line.
#include <string_view>

#include "asrl_session.h"
#include "console_io.h"

namespace asrlcon {

struct command_context {
    console_io& io;
    const asrl_session& session;
    bool quit = false;
};

// Runs one command line ("write *IDN?\n"); true when it succeeded. An empty line succeeds.
bool run_command(command_context& ctx, std::wstring_view line);

}  // namespace asrlcon
