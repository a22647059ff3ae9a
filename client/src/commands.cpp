#include "commands.h"

#include <cwchar>
#include <span>

#include "command_handlers.h"
#include "failure_report.h"
#include "words.h"

namespace asrlcon {

namespace {

bool help_command(command_context&, std::wstring_view);
bool quit_command(command_context& ctx, std::wstring_view)
{
    ctx.quit = true;
    return true;
}

struct command {
    const wchar_t* name;
    const wchar_t* usage;
    const wchar_t* help;
    handler run;
};

const command command_table[] = {
    {L"write", L"write TEXT", L"send TEXT (escapes \\n \\r \\t \\\\ \\xHH) with WriteString",
     write_command},
    {L"read", L"read [N]", L"read up to N characters (default 1024) with ReadString", read_command},
    {L"query", L"query TEXT", L"write TEXT, then read the answer", query_command},
    {L"writebytes", L"writebytes TEXT", L"send the bytes of TEXT (\\xHH for any byte) with Write",
     writebytes_command},
    {L"readbytes", L"readbytes [N]", L"read up to N bytes (default 1024) with Read, in hex",
     readbytes_command},
    {L"show", L"show [NAME]", L"show the settings and properties (or one of them)", show_command},
    {L"set", L"set NAME VALUE", L"change a setting; \"show\" lists the names", set_command},
    {L"timeout", L"timeout [MS]", L"show or set the I/O time-out", timeout_command},
    {L"lock", L"lock [exclusive|shared] [MS] [KEY]", L"lock the resource (LockRsrc)", lock_command},
    {L"unlock", L"unlock", L"release the lock (UnlockRsrc)", unlock_command},
    {L"stb", L"stb", L"read the status byte (ReadSTB)", stb_command},
    {L"clear", L"clear", L"clear the device (Clear)", clear_command},
    {L"trigger", L"trigger", L"send a software trigger (AssertTrigger)", trigger_command},
    {L"flush", L"flush [in|out|both] [discard]",
     L"flush the port's buffers (default both, written out)", flush_command},
    {L"attr", L"attr ID [VALUE]",
     L"read or set a VISA attribute by number (GetAttribute, "
     L"SetAttribute)",
     attr_command},
    {L"aread", L"aread N", L"start an asynchronous read of N bytes (its completion is an io event)",
     aread_command},
    {L"awrite", L"awrite TEXT", L"start an asynchronous write of TEXT (escapes as for write)",
     awrite_command},
    {L"terminate", L"terminate ID", L"end an asynchronous job", terminate_command},
    {L"enable", L"enable TYPE [MECH]...",
     L"enable events (TYPE srq|io|trig|clear|exception|all|N; MECH queue|handler|suspend)",
     enable_command},
    {L"disable", L"disable TYPE [MECH]...", L"disable events (default: every mechanism)",
     disable_command},
    {L"discard", L"discard TYPE [MECH]...", L"discard queued events (default: every mechanism)",
     discard_command},
    {L"wait", L"wait [MS] [TYPE]", L"wait for an event (default 2000 ms, any type)", wait_command},
    {L"handler", L"handler on|off", L"print each event as it arrives (InstallHandler)",
     handler_command},
    {L"pump", L"pump MS", L"serve this thread's messages for MS milliseconds", pump_command},
    {L"help", L"help", L"this list", help_command},
    {L"quit", L"quit", L"end the session (also: exit)", quit_command},
    {L"exit", nullptr, nullptr, quit_command},
};

bool help_command(command_context& ctx, std::wstring_view)
{
    for (const auto& c : command_table) {
        if (!c.usage)
            continue;
        wchar_t row[160];
        std::swprintf(row, 160, L"  %-36ls %ls", c.usage, c.help);
        ctx.io.line(row);
    }
    return true;
}

}  // namespace

bool run_command(command_context& ctx, std::wstring_view line)
{
    std::size_t i = 0;
    while (i < line.size() && is_blank(line[i]))
        ++i;
    std::size_t end = i;
    while (end < line.size() && !is_blank(line[end]))
        ++end;
    const std::wstring_view name = line.substr(i, end - i);
    if (name.empty())
        return true;
    while (end < line.size() && is_blank(line[end]))
        ++end;
    const std::wstring_view args = line.substr(end);
    for (const auto& c : command_table)
        if (same_word(c.name, name))
            return c.run(ctx, args);
    report_usage(ctx.io, name, L"unknown command (\"help\" lists them)");
    return false;
}

}  // namespace asrlcon
