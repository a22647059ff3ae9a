#pragma once
// The handlers of the command table. Each gets the text after the command's name (leading
// blanks removed) and returns true when it succeeded; failures are reported by the handler.
#include <string_view>

#include "commands.h"

namespace asrlcon {

using handler = bool (*)(command_context&, std::wstring_view args);

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

// Events (event_commands.cpp).
bool enable_command(command_context&, std::wstring_view);
bool disable_command(command_context&, std::wstring_view);
bool discard_command(command_context&, std::wstring_view);
bool wait_command(command_context&, std::wstring_view);
bool handler_command(command_context&, std::wstring_view);
bool pump_command(command_context&, std::wstring_view);

}  // namespace asrlcon
