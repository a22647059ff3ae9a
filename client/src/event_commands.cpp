// Commands on the session's events: enable, disable, discard, wait, handler and pump.
#include <cwchar>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "command_handlers.h"
#include "failure_report.h"
#include "settings.h"
#include "words.h"
#include "MrvRS232_handler.h"

namespace asrlcon {

namespace {

struct named_value {
    const wchar_t* name;
    long value;
};

constexpr named_value event_types[] = {
    {L"srq", EVENT_SERVICE_REQ}, {L"io", EVENT_IO_COMPLETION},    {L"trig", EVENT_TRIG},
    {L"clear", EVENT_CLEAR},     {L"exception", EVENT_EXCEPTION}, {L"all", ALL_ENABLED_EVENTS},
};
constexpr named_value mechanisms[] = {
    {L"queue", EVENT_QUEUE},
    {L"handler", EVENT_HNDLR},
    {L"suspend", EVENT_SUSPEND_HNDLR},
    {L"all", EVENT_ALL_MECH},
};

// A name of the table, or a number (decimal or 0x hexadecimal).
std::optional<long> parse_named(std::wstring_view word, std::span<const named_value> names)
{
    for (const auto& n : names)
        if (same_word(word, n.name))
            return n.value;
    return parse_number(word);
}

std::wstring type_name(long type)
{
    for (const auto& n : event_types)
        if (n.value == type)
            return n.name;
    return hex32(static_cast<unsigned long>(type));
}

// "TYPE [MECHANISM...]": the type and the mechanisms or'ed together (default: the queue).
bool parse_type_and_mechanism(command_context& ctx, const wchar_t* command, std::wstring_view args,
                              long& type, long& mechanism)
{
    const auto w = words(args);
    const auto t = w.empty() ? std::nullopt : parse_named(w[0], event_types);
    if (!t) {
        report_usage(ctx.io, command,
                     std::wstring(L"usage: ") + command +
                         L" srq|io|trig|clear|exception|all|NUMBER [queue|handler|suspend|all]...");
        return false;
    }
    type = *t;
    mechanism = w.size() > 1 ? 0 : EVENT_QUEUE;
    for (std::size_t i = 1; i < w.size(); ++i) {
        const auto m = parse_named(w[i], mechanisms);
        if (!m) {
            report_usage(ctx.io, command, L"not a mechanism: " + w[i]);
            return false;
        }
        mechanism |= *m;
    }
    return true;
}

// One line about an event: its type, and what its type carries.
std::wstring describe(IEvent* event)
{
    long type = 0;
    event->get_CustomEventType(&type);
    std::wstring text = L"event " + type_name(type);
    mrv::com_ptr<IEventIOCompletion> io;
    if (SUCCEEDED(event->QueryInterface(IID_IEventIOCompletion, io.put_void()))) {
        long status = 0, count = 0;
        io->get_IOStatus(&status);
        io->get_ReturnCount(&count);
        text += L" status " + hex32(static_cast<unsigned long>(status)) + L", " +
                std::to_wstring(count) + L" bytes";
    }
    return text;
}

// The handler of "handler on": prints each event as it arrives. It is free-threaded, so the
// server calls it on its own thread, even while this client's thread sits in the prompt.
class printing_handler final : public MrvEventHandler {
public:
    static mrv::com_ptr<IEventHandler> make(console_io& io)
    {
        return mrv::com_ptr<IEventHandler>::attach(new printing_handler(io));
    }

    HRESULT STDMETHODCALLTYPE HandleEvent(IEventManager*, IEvent* event, long) override
    {
        std::lock_guard lock(m_);
        io_.line(L"  [handler] " + describe(event));
        return S_OK;
    }

private:
    explicit printing_handler(console_io& io) : MrvEventHandler(true), io_(io) {}

    console_io& io_;
    std::mutex m_;
};

// DisableEvent or DiscardEvents: every mechanism when none is named.
bool clear_mechanisms(command_context& ctx, const wchar_t* command, std::wstring_view args,
                      const wchar_t* method,
                      HRESULT (STDMETHODCALLTYPE IEventManager::*call)(EventType, EventMechanism,
                                                                       long))
{
    long type = 0, mechanism = 0;
    if (!parse_type_and_mechanism(ctx, command, args, type, mechanism))
        return false;
    if (words(args).size() == 1)
        mechanism = EVENT_ALL_MECH;
    return simple_call(ctx, method, [&] {
        return (ctx.session.events.get()->*call)(static_cast<EventType>(type),
                                                 static_cast<EventMechanism>(mechanism), 0);
    });
}

}  // namespace

bool enable_command(command_context& ctx, std::wstring_view args)
{
    long type = 0, mechanism = 0;
    return parse_type_and_mechanism(ctx, L"enable", args, type, mechanism) &&
           simple_call(ctx, L"EnableEvent", [&] {
               return ctx.session.events->EnableEvent(static_cast<EventType>(type),
                                                      static_cast<EventMechanism>(mechanism), 0);
           });
}

bool disable_command(command_context& ctx, std::wstring_view args)
{
    return clear_mechanisms(ctx, L"disable", args, L"DisableEvent", &IEventManager::DisableEvent);
}

bool discard_command(command_context& ctx, std::wstring_view args)
{
    return clear_mechanisms(ctx, L"discard", args, L"DiscardEvents", &IEventManager::DiscardEvents);
}

bool wait_command(command_context& ctx, std::wstring_view args)
{
    const auto w = words(args);
    long ms = 2000, type = ALL_ENABLED_EVENTS;
    std::optional<long> parsed_ms = w.empty() ? 2000 : parse_number(w[0]);
    std::optional<long> parsed_type = w.size() < 2 ? type : parse_named(w[1], event_types);
    if (!parsed_ms || !parsed_type || w.size() > 2) {
        report_usage(ctx.io, L"wait", L"usage: wait [MS] [TYPE]");
        return false;
    }
    ms = *parsed_ms;
    type = *parsed_type;
    mrv::com_ptr<IEvent> event;
    const HRESULT hr = checked_call(ctx.io, L"WaitOnEvent", [&] {
        return ctx.session.events->WaitOnEvent(ms, static_cast<EventType>(type), 0, event.put());
    });
    if (FAILED(hr))
        return false;
    ctx.io.line(L"  " + describe(event.get()) + success_note(hr));
    return true;
}

bool handler_command(command_context& ctx, std::wstring_view args)
{
    const auto w = words(args);
    const bool on = w.size() == 1 && same_word(w[0], L"on");
    if (!on && !(w.size() == 1 && same_word(w[0], L"off"))) {
        report_usage(ctx.io, L"handler", L"usage: handler on|off");
        return false;
    }
    // One handler for each named type (handlers are installed per type; the wildcard type
    // would match no event).
    bool ok = true;
    auto handler = on ? printing_handler::make(ctx.io) : nullptr;
    for (const auto& t : event_types) {
        if (t.value == ALL_ENABLED_EVENTS)
            continue;
        const auto type = static_cast<EventType>(t.value);
        const HRESULT hr = checked_call(
            ctx.io, std::wstring(on ? L"InstallHandler " : L"UninstallHandler ") + t.name, [&] {
                return on ? ctx.session.events->InstallHandler(type, handler.get(), 0, 0)
                          : ctx.session.events->UninstallHandler(type, 0, 0);
            });
        ok = SUCCEEDED(hr) && ok;
    }
    if (ok)
        ctx.io.line(on ? L"  handler on" : L"  handler off");
    return ok;
}

bool pump_command(command_context& ctx, std::wstring_view args)
{
    const auto w = words(args);
    const auto ms = w.size() == 1 ? parse_number(w[0]) : std::nullopt;
    if (!ms || *ms < 0) {
        report_usage(ctx.io, L"pump", L"usage: pump MS");
        return false;
    }
    // Serves this thread's messages (calls into its apartment among them) for MS milliseconds.
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(*ms);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

}  // namespace asrlcon
