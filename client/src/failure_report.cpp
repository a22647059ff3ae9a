#include "failure_report.h"

#include <oleauto.h>

#include <cwchar>

#include "com/com_ptr.h"
#include "com/unique_any.h"

namespace asrlcon {

std::wstring hex32(unsigned long value)
{
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08lX", value & 0xFFFFFFFFul);
    return buf;
}

std::wstring success_note(HRESULT hr)
{
    if (hr == S_OK)
        return {};
    return L" [success code " + hex32(static_cast<unsigned long>(hr)) + L"]";
}

void report_failure(console_io& io, std::wstring_view what, HRESULT hr)
{
    io.line(L"error: " + std::wstring(what) + L" failed with HRESULT " +
            hex32(static_cast<unsigned long>(hr)));
    mrv::com_ptr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) {
        io.line(L"  (no error information)");
        return;
    }
    auto text = [&](HRESULT (STDMETHODCALLTYPE IErrorInfo::*get)(BSTR*)) {
        mrv::bstr b;
        if (FAILED((info.get()->*get)(b.put())) || !b)
            return std::wstring();
        return std::wstring(b.get(), SysStringLen(b.get()));
    };
    DWORD context = 0;
    info->GetHelpContext(&context);
    io.line(L"  description:  " + text(&IErrorInfo::GetDescription));
    io.line(L"  source:       " + text(&IErrorInfo::GetSource));
    io.line(L"  help context: " + std::to_wstring(context) + L" (" + hex32(context) + L")");
    if (auto file = text(&IErrorInfo::GetHelpFile); !file.empty())
        io.line(L"  help file:    " + file);
}

std::wstring failure_summary(HRESULT hr)
{
    std::wstring text = L"HRESULT " + hex32(static_cast<unsigned long>(hr));
    mrv::com_ptr<IErrorInfo> info;
    mrv::bstr description;
    if (GetErrorInfo(0, info.put()) == S_OK && info &&
        SUCCEEDED(info->GetDescription(description.put())) && description)
        text += L" (" + std::wstring(description.get(), SysStringLen(description.get())) + L")";
    return text;
}

void report_usage(console_io& io, std::wstring_view what, std::wstring_view problem)
{
    io.line(L"error: " + std::wstring(what) + L": " + std::wstring(problem));
}

}  // namespace asrlcon
