#include "soak/outcomes.h"

#include <oleauto.h>

#include <cstdio>

#include "com/com_ptr.h"
#include "com/unique_any.h"

namespace soak {

namespace {

constexpr std::size_t kWrongKept = 20;

// Help contexts of the server's own failures (not VISA statuses).
constexpr DWORD kNoOpenSession = 1002, kClosedDuringWait = 1045, kHandlerInstalled = 1046,
                kNoHandler = 1047, kWaitTimedOut = 1048;

constexpr HRESULT facility_itf(std::uint32_t code)
{
    return static_cast<HRESULT>(0x80040000u | code);
}

bool injected_hresult(HRESULT hr)
{
    for (std::int32_t status : injected_statuses()) {
        const auto s = static_cast<std::uint32_t>(status);
        // Statuses outside the server's map are all reported as the system error.
        if (hr == facility_itf(s & 0xFFFF) || hr == facility_itf(0))
            return true;
    }
    return false;
}

kind kind_of(HRESULT hr)
{
    if (hr == S_OK || (static_cast<std::uint32_t>(hr) & 0xFFFF0000u) == 0x00040000u)
        return kind::ok;
    switch (static_cast<std::uint32_t>(hr)) {
    case 0x80040015:
        return kind::timeout;
    case 0x8004000F:
        return kind::locked;
    case 0x8004009C:
        return kind::not_locked;
    case 0x8004000E:
        return kind::closed;
    case 0x80040028:
        return kind::handler_state;
    case 0x8004001C:
        return kind::job_gone;
    }
    return injected_hresult(hr) ? kind::injected : kind::wrong;
}

// Whether help context `context` belongs to a failure of kind `k` with result `hr`: the VISA
// status behind hr (0 for a status the server does not map), or one of the server's own.
bool context_fits(kind k, HRESULT hr, DWORD context)
{
    const DWORD visa_status = 0xBFFF0000u | (static_cast<std::uint32_t>(hr) & 0xFFFFu);
    if (context == visa_status || (hr == facility_itf(0) && context == 0))
        return true;
    switch (k) {
    case kind::timeout:
        return context == kWaitTimedOut;
    case kind::closed:
        return context == kNoOpenSession || context == kClosedDuringWait;
    case kind::handler_state:
        return context == kHandlerInstalled || context == kNoHandler;
    default:
        return false;
    }
}

// Takes the thread's error object (which clears it) and says what is wrong with it, if anything.
std::string error_object_fault(kind k, HRESULT hr, bool expected)
{
    mrv::com_ptr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info)
        return expected ? "no error object" : "";
    if (!expected)
        return "";
    DWORD context = 0;
    info->GetHelpContext(&context);
    mrv::bstr source, description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    if (!source || std::wstring(source.get()) != L"MrvRS232")
        return "error object from another source";
    if (!description || !*description.get())
        return "error object without a description";
    if (!context_fits(k, hr, context))
        return "error object with help context " + hex(context);
    return "";
}

// The thread's error object (taken, which clears it) as text for a report.
std::string error_object_text()
{
    mrv::com_ptr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info)
        return ", no error object";
    DWORD context = 0;
    info->GetHelpContext(&context);
    mrv::bstr description;
    info->GetDescription(description.put());
    std::string text = ", help context " + hex(context) + " \"";
    for (const wchar_t* c = description.get(); c && *c; ++c)
        text.push_back(*c < 128 ? static_cast<char>(*c) : '?');
    return text + "\"";
}

}  // namespace

const char* name_of(kind k)
{
    static constexpr const char* names[] = {"ok",         "timeout",  "locked",
                                            "not locked", "closed",   "handler state",
                                            "job gone",   "injected", "WRONG"};
    return names[static_cast<unsigned>(k)];
}

const std::vector<std::int32_t>& injected_statuses()
{
    static const std::vector<std::int32_t> statuses{
        static_cast<std::int32_t>(0xBFFF003E),  // VI_ERROR_IO
        static_cast<std::int32_t>(0xBFFF003C),  // VI_ERROR_ALLOC
        static_cast<std::int32_t>(0xBFFF0072),  // VI_ERROR_RSRC_BUSY
        static_cast<std::int32_t>(0xBFFF0000),  // VI_ERROR_SYSTEM_ERROR
        static_cast<std::int32_t>(0xBFFF00A6),  // VI_ERROR_CONN_LOST
        static_cast<std::int32_t>(0xBFFF0039),  // a status the server does not map
    };
    return statuses;
}

std::string hex(std::uint32_t value)
{
    char b[16];
    std::snprintf(b, sizeof b, "0x%08X", value);
    return b;
}

kind outcomes::check(HRESULT hr, kinds allowed, const char* op, bool error_object)
{
    calls_.fetch_add(1, std::memory_order_relaxed);
    kind k = kind_of(hr);
    if (k == kind::ok)
        return k;
    if (k == kind::injected && faults_allowed())
        allowed = allowed | kind::injected;
    std::string fault;
    if (!has(allowed, k))
        fault = std::string("unexpected ") + name_of(k) + error_object_text();
    else if (auto bad = error_object_fault(k, hr, error_object); !bad.empty())
        fault = bad;
    if (!fault.empty()) {
        k = kind::wrong;
        wrong(std::string(op) + " returned " + hex(static_cast<std::uint32_t>(hr)) + ": " + fault);
    }
    std::lock_guard lock(m_);
    ++by_kind_[static_cast<unsigned>(k)];
    ++failures_[hr];
    return k;
}

void outcomes::wrong(const std::string& what)
{
    std::lock_guard lock(m_);
    ++wrong_;
    if (first_wrong_.size() < kWrongKept)
        first_wrong_.push_back(what);
}

outcomes::snapshot outcomes::take() const
{
    snapshot s;
    s.calls = calls_.load();
    s.events = events_.load();
    std::lock_guard lock(m_);
    s.by_kind = by_kind_;
    s.failures = failures_;
    s.wrong = wrong_;
    s.first_wrong = first_wrong_;
    return s;
}

}  // namespace soak
