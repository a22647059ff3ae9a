// Commands on the session's settings, locks and device: show, set, timeout, lock, unlock,
// stb, clear, trigger, flush and attr.
#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>

#include "command_handlers.h"
#include "failure_report.h"
#include "settings.h"
#include "com/unique_any.h"
#include "com/variant.h"
#include "words.h"

namespace asrlcon {

namespace {

std::wstring padded(std::wstring_view name)
{
    std::wstring row = L"  " + std::wstring(name);
    row.resize(std::max<std::size_t>(row.size() + 1, 16), L' ');
    return row;
}

// One row of "show"; false when the value could not be read.
bool show_setting(command_context& ctx, const setting& s)
{
    long value = 0;
    SetErrorInfo(0, nullptr);
    const HRESULT hr = s.get(ctx.session, value);
    ctx.io.line(padded(s.name) +
                (FAILED(hr) ? L"error: " + failure_summary(hr) : format_setting_value(s, value)));
    return SUCCEEDED(hr);
}

bool show_text(command_context& ctx, const text_property& p)
{
    std::wstring value;
    SetErrorInfo(0, nullptr);
    const HRESULT hr = p.get(ctx.session, value);
    ctx.io.line(padded(p.name) + (FAILED(hr) ? L"error: " + failure_summary(hr) : value));
    return SUCCEEDED(hr);
}

}  // namespace

bool show_command(command_context& ctx, std::wstring_view args)
{
    const auto names = words(args);
    bool ok = true, found = names.empty();
    for (const auto& p : text_properties())
        if (names.empty() || same_word(names[0], p.name)) {
            ok = show_text(ctx, p) && ok;
            found = true;
        }
    for (const auto& s : settings())
        if (names.empty() || same_word(names[0], s.name)) {
            ok = show_setting(ctx, s) && ok;
            found = true;
        }
    if (!found)
        report_usage(ctx.io, L"show", L"no setting or property named " + names[0]);
    return ok && found;
}

bool set_command(command_context& ctx, std::wstring_view args)
{
    const auto w = words(args);
    if (w.size() != 2) {
        report_usage(ctx.io, L"set", L"usage: set NAME VALUE");
        return false;
    }
    const setting* s = find_setting(w[0]);
    if (!s) {
        report_usage(ctx.io, L"set", L"no setting named " + w[0] + L" (\"show\" lists them)");
        return false;
    }
    if (!s->put) {
        report_usage(ctx.io, L"set", w[0] + L" is read-only");
        return false;
    }
    const auto value = parse_setting_value(*s, w[1]);
    if (!value) {
        std::wstring names;
        for (const auto& n : s->names)
            names += (names.empty() ? L" (" : L", ") + std::wstring(n.name);
        if (!names.empty())
            names += L")";
        report_usage(ctx.io, L"set", L"not a value of " + w[0] + names);
        return false;
    }
    const HRESULT hr =
        checked_call(ctx.io, L"set " + w[0], [&] { return s->put(ctx.session, *value); });
    return SUCCEEDED(hr) && show_setting(ctx, *s);
}

bool timeout_command(command_context& ctx, std::wstring_view args)
{
    const setting* timeout = find_setting(L"timeout");
    return words(args).empty() ? show_setting(ctx, *timeout)
                               : set_command(ctx, L"timeout " + std::wstring(args));
}

bool lock_command(command_context& ctx, std::wstring_view args)
{
    // lock [exclusive|shared] [MS] [KEY], each part optional but in this order.
    AccessMode type = EXCLUSIVE_LOCK;
    long timeout = 2000;
    mrv::bstr key;
    const auto w = words(args);
    std::size_t i = 0;
    if (i < w.size() && same_word(w[i], L"exclusive")) {
        type = EXCLUSIVE_LOCK;
        ++i;
    } else if (i < w.size() && same_word(w[i], L"shared")) {
        type = SHARED_LOCK;
        ++i;
    }
    if (i < w.size()) {
        if (auto ms = parse_number(w[i])) {
            timeout = *ms;
            ++i;
        }
    }
    if (i < w.size())
        key.reset(SysAllocString(w[i++].c_str()));
    if (i < w.size()) {
        report_usage(ctx.io, L"lock", L"usage: lock [exclusive|shared] [MS] [KEY]");
        return false;
    }
    mrv::bstr access;
    const HRESULT hr = checked_call(ctx.io, L"LockRsrc", [&] {
        return ctx.session.visa->LockRsrc(type, timeout, key.get(), access.put());
    });
    if (FAILED(hr))
        return false;
    // The session may hand back no key at all (a null BSTR); then there is none to show.
    std::wstring row = type == SHARED_LOCK ? L"  locked shared" : L"  locked exclusive";
    if (access.get() && SysStringLen(access.get()))
        row += L", access key \"" + std::wstring(access.get(), SysStringLen(access.get())) + L"\"";
    ctx.io.line(row + success_note(hr));
    return true;
}

bool unlock_command(command_context& ctx, std::wstring_view)
{
    return simple_call(ctx, L"UnlockRsrc", [&] { return ctx.session.visa->UnlockRsrc(); });
}

bool clear_command(command_context& ctx, std::wstring_view)
{
    return simple_call(ctx, L"Clear", [&] { return ctx.session.base->Clear(); });
}

bool trigger_command(command_context& ctx, std::wstring_view)
{
    return simple_call(ctx, L"AssertTrigger",
                       [&] { return ctx.session.base->AssertTrigger(TRIG_PROT_DEFAULT); });
}

bool stb_command(command_context& ctx, std::wstring_view)
{
    short status = 0;
    const HRESULT hr =
        checked_call(ctx.io, L"ReadSTB", [&] { return ctx.session.base->ReadSTB(&status); });
    if (FAILED(hr))
        return false;
    wchar_t row[64];
    std::swprintf(row, 64, L"  status byte 0x%02X (%d)", status & 0xFFFF, status);
    ctx.io.line(row + success_note(hr));
    return true;
}

bool flush_command(command_context& ctx, std::wstring_view args)
{
    BufferMask mask = IO_IN_AND_OUT_BUFS;
    VARIANT_BOOL discard = VARIANT_FALSE;
    for (const auto& w : words(args)) {
        if (same_word(w, L"in"))
            mask = IO_IN_BUF;
        else if (same_word(w, L"out"))
            mask = IO_OUT_BUF;
        else if (same_word(w, L"both"))
            mask = IO_IN_AND_OUT_BUFS;
        else if (same_word(w, L"discard"))
            discard = VARIANT_TRUE;
        else {
            report_usage(ctx.io, L"flush", L"usage: flush [in|out|both] [discard]");
            return false;
        }
    }
    return simple_call(ctx, L"Flush", [&] { return ctx.session.serial->Flush(mask, discard); });
}

bool attr_command(command_context& ctx, std::wstring_view args)
{
    const auto w = words(args);
    const auto id = w.empty() ? std::nullopt : parse_number(w[0]);
    if (!id || w.size() > 2) {
        report_usage(ctx.io, L"attr", L"usage: attr ID [VALUE], ID as a number (0x3FFF0021)");
        return false;
    }
    if (w.size() == 2) {
        const auto value = parse_number(w[1]);
        if (!value) {
            report_usage(ctx.io, L"attr", L"the value must be a number");
            return false;
        }
        mrv::variant v;
        V_VT(v.get()) = VT_I4;
        V_I4(v.get()) = *value;
        if (FAILED(checked_call(ctx.io, L"SetAttribute",
                                [&] { return ctx.session.visa->SetAttribute(*id, *v.get()); })))
            return false;
    }
    mrv::variant v;
    const HRESULT hr = checked_call(ctx.io, L"GetAttribute",
                                    [&] { return ctx.session.visa->GetAttribute(*id, v.put()); });
    if (FAILED(hr))
        return false;
    mrv::variant text;
    if (FAILED(VariantChangeType(text.get(), v.get(), 0, VT_BSTR))) {
        ctx.io.line(L"  (a value of type " + std::to_wstring(v.type()) + L")");
        return true;
    }
    const BSTR shown = V_BSTR(text.get());
    ctx.io.line(L"  " + w[0] + L" = " + std::wstring(shown, SysStringLen(shown)) +
                success_note(hr));
    return true;
}

}  // namespace asrlcon
