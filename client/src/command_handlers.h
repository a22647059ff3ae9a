#pragma once
// The handlers of the command table. Each gets the text after the command's name (leading
// blanks removed) and returns true when it succeeded; failures are reported by the handler.
#include <string_view>
#include <utility>

#include "commands.h"
#include "failure_report.h"

namespace asrlcon {

using handler = bool (*)(command_context&, std::wstring_view args);

// A call that returns nothing but its result: "done" (with a success code other than S_OK) or
// the failure.
template <class Call>
bool simple_call(command_context& ctx, std::wstring_view what, Call&& call)
{
    const HRESULT hr = checked_call(ctx.io, what, std::forward<Call>(call));
    if (SUCCEEDED(hr))
        ctx.io.line(L"  done" + success_note(hr));
    return SUCCEEDED(hr);
}

// Message I/O (io_commands.cpp).
bool write_command(command_context&, std::wstring_view);
bool read_command(command_context&, std::wstring_view);
bool query_command(command_context&, std::wstring_view);
bool writebytes_command(command_context&, std::wstring_view);
bool readbytes_command(command_context&, std::wstring_view);

// Settings and session operations (session_commands.cpp).
bool show_command(command_context&, std::wstring_view);
bool set_command(command_context&, std::wstring_view);
bool timeout_command(command_context&, std::wstring_view);
bool lock_command(command_context&, std::wstring_view);
bool unlock_command(command_context&, std::wstring_view);
bool stb_command(command_context&, std::wstring_view);
bool clear_command(command_context&, std::wstring_view);
bool trigger_command(command_context&, std::wstring_view);
bool flush_command(command_context&, std::wstring_view);
bool attr_command(command_context&, std::wstring_view);

// Asynchronous jobs (async_commands.cpp).
bool aread_command(command_context&, std::wstring_view);
bool awrite_command(command_context&, std::wstring_view);
bool terminate_command(command_context&, std::wstring_view);

// Events (event_commands.cpp).
bool enable_command(command_context&, std::wstring_view);
bool disable_command(command_context&, std::wstring_view);
bool discard_command(command_context&, std::wstring_view);
bool wait_command(command_context&, std::wstring_view);
bool handler_command(command_context&, std::wstring_view);
bool pump_command(command_context&, std::wstring_view);

}  // namespace asrlcon
