// Asynchronous jobs: reads and writes whose completion arrives as an I/O-completion event,
// printed by the event handler ("handler on") or collected with "wait".
#include <string>

#include "command_handlers.h"
#include "com/unique_any.h"
#include "settings.h"
#include "text_escapes.h"
#include "words.h"

namespace asrlcon {

namespace {

// Reports the job a call started, or its failure.
template <class Call>
bool start_job(command_context& ctx, std::wstring_view what, Call&& call)
{
    long job = 0;
    const HRESULT hr = checked_call(ctx.io, what, [&] { return call(&job); });
    if (FAILED(hr))
        return false;
    ctx.io.line(L"  job " + std::to_wstring(job) + L" started" + success_note(hr));
    return true;
}

}  // namespace

bool aread_command(command_context& ctx, std::wstring_view args)
{
    const auto count = parse_number(args);
    if (!count || *count < 1) {
        report_usage(ctx.io, L"aread", L"usage: aread N (a count of bytes)");
        return false;
    }
    return start_job(ctx, L"IAsyncMessage::Read",
                     [&](long* job) { return ctx.session.async->Read(*count, job); });
}

bool awrite_command(command_context& ctx, std::wstring_view args)
{
    const auto text = unescape(args);
    if (!text) {
        report_usage(ctx.io, L"awrite", L"bad escape (use \\n \\r \\t \\0 \\\\ or \\xHH)");
        return false;
    }
    mrv::bstr message(SysAllocStringLen(text->data(), static_cast<UINT>(text->size())));
    return start_job(ctx, L"IAsyncMessage::WriteString",
                     [&](long* job) { return ctx.session.async->WriteString(message.get(), job); });
}

bool terminate_command(command_context& ctx, std::wstring_view args)
{
    const auto job = parse_number(args);
    if (!job) {
        report_usage(ctx.io, L"terminate", L"usage: terminate ID");
        return false;
    }
    return simple_call(ctx, L"IAsyncMessage::Terminate",
                       [&] { return ctx.session.async->Terminate(*job); });
}

}  // namespace asrlcon
